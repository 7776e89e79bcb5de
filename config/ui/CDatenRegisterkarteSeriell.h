// The data format page of the configuration sheet ("Daten", or "Daten 1" / "Daten 2" on readers
// with a second data output). It edits one DataFormatRecord: the fixed format or chip mode the
// reader outputs, the chip and its blocks, how the bytes are arranged and displayed, and the
// modulation. Its entries are checked when the sheet takes them over.
#pragma once

#include "config/DataPageRules.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace veltra {

class CIniEx;

class CDatenRegisterkarteSeriell : public QWidget {
    Q_OBJECT

public:
    // `features` is the reader's DeviceFeatures word; `firstPage` marks the page that edits the
    // first data output (it always selects a format, "Unique" at the least).
    explicit CDatenRegisterkarteSeriell(std::uint32_t features, bool firstPage,
                                        QWidget* parent = nullptr);

    // The tab title: "Daten", or "Daten 1" / "Daten 2" on readers with a second data output.
    QString pageTitle() const;

    // The second data page follows the first: formats used there are not offered again, and a
    // chip the first page reads block by block is not offered either.
    void setFirstDataPage(CDatenRegisterkarteSeriell* firstPage);

    void setFromRecord(const DataFormatRecord& record);
    DataFormatRecord getRecord() const;
    // Reads record 1 or 2 of a configuration file into the page.
    void loadFromFile(const CIniEx& file, int sectionNumber);

    // True when the entries pass the checks and differ from those remembered by the last
    // setModified(false) (or when the page was first shown); setModified(true) marks the page
    // changed until the next setModified(false).
    bool isModified() const;
    void setModified(bool modified);

    // The page checks on the entries as typed (whole numbers, before anything is narrowed to a
    // byte), without showing anything.
    CheckResult check() const;

    // Runs the page checks in order. On a failure shows the message, puts the focus on the field
    // and returns false; otherwise fills `out` and returns true.
    bool takeOver(DataFormatRecord& out);

    DataChoice selection() const { return selection_; }
    std::uint8_t selectedChip() const;

signals:
    // The format, mode or chip selection changed (the second data page follows it).
    void selectionChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void choiceClicked(int index, bool checked);
    void select(DataChoice choice);
    void chipClicked();
    void refresh();
    void applyVisibility();
    void applyFirstPageLimits();
    void applyEnableRules();
    void refreshModulation();
    void refreshInfo();
    void refreshReversal();
    int displayMode() const;
    void setDisplayMode(int mode);
    void setChip(std::uint8_t code);
    DataPageEntries currentEntries() const;
    QWidget* fieldFor(CheckField field) const;
    bool has(std::uint32_t bit) const { return (features_ & bit) != 0; }
    void rememberValues();

    std::uint32_t features_;
    bool firstPage_;
    DataChoice selection_ = DataChoice::None;
    std::uint8_t modSpeed_ = 0;
    bool forcedModified_ = false;
    std::optional<DataFormatRecord> remembered_;
    QPointer<CDatenRegisterkarteSeriell> firstDataPage_;

    std::array<QRadioButton*, 6> displayButtons_{};
    QLineEdit* characterCount_ = nullptr;
    QLabel* usedBytesLabel_ = nullptr;
    QLineEdit* usedBytesFrom_ = nullptr;
    QLineEdit* usedBytesTo_ = nullptr;
    QCheckBox* reverseBytes_ = nullptr;
    QCheckBox* reverseNibbleBits_ = nullptr;
    QCheckBox* swapNibbles_ = nullptr;
    QLabel* reversalExample_ = nullptr;
    std::array<QCheckBox*, kDataChoiceCount> choices_{};
    QButtonGroup* chipGroup_ = nullptr;
    std::vector<QRadioButton*> chipButtons_;
    std::array<QLabel*, 4> blockLabels_{};
    std::array<QLineEdit*, 4> blocks_{};
    QCheckBox* byteActive_ = nullptr;
    std::array<std::array<QCheckBox*, 4>, 4> masks_{};
    QLabel* startBlockLabel_ = nullptr;
    QLineEdit* startBlock_ = nullptr;
    QLabel* lengthLabel_ = nullptr;
    QLineEdit* lengthInBytes_ = nullptr;
    QLabel* modulationLabel_ = nullptr;
    QComboBox* modulation_ = nullptr;
    QGroupBox* typeIdGroup_ = nullptr;
    QLineEdit* typeIdBefore_ = nullptr;
    QLineEdit* typeIdAfter_ = nullptr;
    QGroupBox* infoBox_ = nullptr;
    std::array<QLabel*, kInfoLineCount> infoLines_{};
    QLabel* passwordLabel_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* passwordHex_ = nullptr;
    QPushButton* functionTest_ = nullptr;
    QPushButton* readContents_ = nullptr;
};

} // namespace veltra
