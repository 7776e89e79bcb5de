// The "Parameter" page of a keyboard (USB HID) reader: operating mode, sensor output, cycle
// time, timeout and power-on configuration, and the reader's keyboard layout on an on-screen
// keyboard of the 48 keys of the alphanumeric block. The layout can be loaded from the reader,
// taken from this computer, and is checked against the computer's after the sheet has read
// the reader; a difference brings up the layout question (CLayoutErrorDlg). The value rules
// live in config/HidPageRules.h, shared with veltra-cli.
#pragma once

#include "config/HidPageRules.h"
#include "config/ReaderConfiguration.h"
#include "config/workflow/ReaderLink.h"
#include "keys/KeyLayout.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace veltra {

class LayoutKeyButton;

class CParamRegisterkarteHID : public QWidget {
    Q_OBJECT

public:
    // `features` is the reader's DeviceFeatures word (which modes and power-on choices exist);
    // the page reaches the reader through `link` for its layout.
    explicit CParamRegisterkarteHID(std::uint32_t features, QWidget* parent = nullptr,
                                    ReaderLink& link = qnLink());

    static QString caption();

    // The reader's parameter block 6 and its QnReadMode value. Values that fail the range
    // checks show the range message and fall back to mode 0, 1000 ms and 500 ms (false); a
    // block of fewer than four bytes changes nothing (false).
    bool setFromParameterBlock(const Bytes& block, int powerOnValue);
    // The parameters of a file or the model; a power-on mode outside 0..2 selects none.
    void setParameters(const ReaderParameters& parameters);
    // Takes the values over with the range checks; on a failure shows the message, puts the
    // focus on the field and returns false, leaving `out` alone.
    bool takeOver(ReaderParameters& out);
    // The values as shown, without checks (fields read as typed).
    HidPageValues values() const;
    int powerOnIndex() const { return values().powerOnIndex; }
    void selectPowerOnMode(int index);

    const KeyLayout& layout() const { return layout_; }
    // Shows a layout on the keys.
    void setLayout(const KeyLayout& layout);

    // After the sheet has read the reader on its open connection: reads the reader's layout and,
    // when it differs from the computer's and the warning is on, asks whether to take the
    // computer's. False when the reader's layout could not be read (the page keeps its own).
    bool CheckLayout(int handle);
    // "Aus Gerät laden": connects, does what CheckLayout does, closes.
    void LoadFromReader();
    // "Computer Einstellung": the computer's layout, no question, no reader.
    void UseComputerLayout();

    bool isModified() const;
    void markUnchanged();

    LayoutKeyButton* keyButton(int index) const {
        return keys_.at(static_cast<std::size_t>(index));
    }
    QCheckBox* warningBox() const { return warning_; }
    QRadioButton* modeButton(int mode) const;
    QRadioButton* powerOnButton(int index) const;
    QLineEdit* cycleTimeField() const { return cycleTime_; }
    QLineEdit* timeoutField() const { return timeout_; }
    QPushButton* loadFromReaderButton() const { return loadFromReader_; }
    QPushButton* computerLayoutButton() const { return computerLayout_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void show(const HidPageValues& values);
    void applyRules();
    int checkedMode() const;
    QWidget* buildKeyboard(QWidget* parent);

    ReaderLink* link_;
    std::uint32_t features_;
    KeyLayout layout_;
    HidPageValues remembered_;
    KeyLayout rememberedLayout_;

    QButtonGroup* modeGroup_ = nullptr;
    std::array<QRadioButton*, 3> modeRadios_{}; // modes 0, 2, 3
    QCheckBox* sensorOutput_ = nullptr;
    std::array<LayoutKeyButton*, 48> keys_{};
    QPushButton* loadFromReader_ = nullptr;
    QPushButton* computerLayout_ = nullptr;
    QCheckBox* warning_ = nullptr;
    QButtonGroup* powerOnGroup_ = nullptr;
    std::array<QRadioButton*, 3> powerOnRadios_{};
    QLineEdit* cycleTime_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QPushButton* functionTest_ = nullptr;
    QPushButton* readContents_ = nullptr;
};

} // namespace veltra
