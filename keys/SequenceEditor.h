// The editing rules of a sequence page (prefix, suffix, pull-off, separator) without the
// widgets: the sequence, the selected row, the modified flag and the operations behind the
// page's buttons. The page shows rows() and the selection and reports the messages returned.
#pragma once

#include "keys/KeySequence.h"

#include <optional>
#include <string>
#include <vector>

namespace veltra {

// Message string numbers of the editor.
inline constexpr int kStrSelectRow = 157;       // "Bitte eine Zeile auswählen"
inline constexpr int kStrMaximumExceeded = 159; // "Maximum überschritten"

class SequenceEditor {
public:
    explicit SequenceEditor(std::size_t maximum = kMaxSequenceCodes) : maximum_(maximum) {}

    // Outcome of an operation: 0 or the string number of the message to show.
    struct Outcome {
        int message = 0;
        bool ok() const { return message == 0; }
    };

    // ">>": adds the code of the selected entry of the code list (named by the field's text),
    // or, with no entry selected, the code the typed text stands for. The new element goes
    // before the selected row, or to the end. 0xFF is refused: inside the reader's block it
    // ends the sequence, so every code after it would be lost.
    Outcome addCode(std::optional<std::size_t> listEntry, const std::string& fieldText);

    // "Zeichen Löschen": removes the selected element; the element that moves into its place,
    // if any, becomes selected.
    Outcome deleteSelected();

    // "Seite Löschen".
    void clearPage();

    // "Up" / "Down": move the selected element one row; nothing at the first / last row.
    void moveUp();
    void moveDown();

    // Row selection as the page's list shows it.
    void select(std::optional<std::size_t> row);
    std::optional<std::size_t> selectedRow() const { return selected_; }

    // The rows' texts ("0D H     CR (Enter)").
    std::vector<std::string> rows() const;

    // Accessors for the sheet and the configuration file.
    const CAsciiArray& sequence() const { return sequence_; }
    void setSequence(const CAsciiArray& sequence); // keeps the modified flag
    void clearSequence();                          // keeps the modified flag
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    std::size_t maximum() const { return maximum_; }

private:
    CAsciiArray sequence_;
    std::size_t maximum_;
    std::optional<std::size_t> selected_;
    bool modified_ = false;
};

} // namespace veltra
