// The editor page of one key sequence (prefix, suffix, pull-off, block separator): a code field
// with the code list, the sequence as a list of rows, and the buttons that add, delete, clear
// and reorder codes. The editing rules are those of SequenceEditor; the page shows its rows and
// messages. The derived pages differ only in caption and list header.
#pragma once

#include "keys/KeySequence.h"
#include "keys/SequenceEditor.h"
#include "keys/ui/CEditComboBox.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace veltra {

class CEingabeBasisRegisterkarteSeriell : public QWidget {
    Q_OBJECT

public:
    CEingabeBasisRegisterkarteSeriell(const QString& caption, const QString& header,
                                      QWidget* parent = nullptr);

    QString caption() const { return windowTitle(); }

    // The block as read from the reader (codes, then the terminator); the page counts as
    // unchanged afterwards.
    void setBlock(const std::vector<std::uint8_t>& block);
    // The block to write: the codes and the terminator.
    std::vector<std::uint8_t> block() const;

    // The sequence for a configuration file; setting it keeps the modified flag.
    CAsciiArray sequence() const { return editor_.sequence(); }
    void setSequence(const CAsciiArray& sequence);
    void clearSequence();

    bool isModified() const { return editor_.isModified(); }
    void setModified(bool modified) { editor_.setModified(modified); }

    // Whether the connected reader is a keyboard (USB HID) reader: chooses the function test.
    void setHidReader(bool hid) { hidReader_ = hid; }
    bool isHidReader() const { return hidReader_; }

public slots:
    void OnAddCode();
    void OnDeleteCode();
    void OnClearPage();
    void OnMoveUp();
    void OnMoveDown();
    void OnFunctionTest();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RefreshList();
    void selectRow(std::optional<std::size_t> row);

    SequenceEditor editor_;
    bool hidReader_ = false;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    CEditComboBox* codeField_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

} // namespace veltra
