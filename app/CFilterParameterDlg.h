// The "Filter" dialog: the per-PC filter values for read/write transponders, one pair of hex
// digits per chip type. They are kept in the settings and sent to the reader whenever a
// configuration for that chip is programmed.
#pragma once

#include <QDialog>

#include <array>

class QLineEdit;

namespace veltra {

class FilterSettings;

class CFilterParameterDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFieldCount = 6;

    // Shows the values of `settings`; OK writes the checked values back.
    explicit CFilterParameterDlg(FilterSettings& settings, QWidget* parent = nullptr);

    // Checks the six texts: a text that is not two characters long (211) or holds a character
    // that is not a hex digit (212) is named in a message and the dialog stays open with that
    // field focused. Valid texts are stored upper-cased and the dialog closes.
    void accept() override;

    // The field of the n-th value in the order of filterEntries(), for the tests.
    QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

private:
    FilterSettings& settings_;
    std::array<QLineEdit*, kFieldCount> fields_{};
};

} // namespace veltra
