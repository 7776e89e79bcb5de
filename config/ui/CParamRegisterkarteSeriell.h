// The "Parameter" page of the configuration sheet for readers with a serial, USB or Ethernet
// interface (keyboard readers have a page of their own): operating mode, sensor data, prompt,
// the interface settings, the TCP client, DTR, the power-on configuration, cycle time and
// timeout. The rules live in ParamPageRules.h, shared with veltra-cli.
#pragma once

#include "config/ParamPageRules.h"
#include "config/ReaderConfiguration.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace veltra {

class CParamRegisterkarteSeriell : public QWidget {
    Q_OBJECT

public:
    explicit CParamRegisterkarteSeriell(std::uint32_t features, QWidget* parent = nullptr);

    // The page caption.
    static QString caption();

    // Fills the page from what the reader or a file delivered and takes the values over with the
    // page's checks. When they fail, mode, sensor data, prompt, cycle time, timeout and rate go
    // back to the page's defaults (TCP client, DTR and power-on mode stay as delivered). The
    // values shown count as unchanged. Returns whether the parameters were accepted.
    bool setParameters(const ReaderParameters& parameters, bool dtrSupported);
    // The page's defaults, used when the reader delivered no parameter block.
    void setDefaults();
    // Runs the checks in the page's order; on a failure shows its message, puts the focus on the
    // field and returns false, leaving `out` alone.
    bool takeOver(ReaderParameters& out);
    // The parameters as the page shows them, without checks.
    ReaderParameters parameters() const;

    // The three "Aktuell" fields for a "Baudrate" value.
    void showCurrentInterface(int baudCode);
    // The reader was switched to `baudCode`: the page holds it as its rate and clears the
    // three "Setzen" selections, so that programming again keeps the new rate.
    void interfaceProgrammed(int baudCode);
    // Selects a power-on radio; an index outside 0..2 selects none.
    void selectPowerOnMode(int index);

    // Whether the shown values differ from those last loaded or marked unchanged.
    bool isModified() const;
    void markUnchanged();

    // Re-reads the stored interface name ("COM1" is stored when there is none) and applies the
    // enable rules again; done when the page is shown.
    void refreshInterfaceName();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill(const ReaderParameters& parameters);
    void applyDefaults();
    void applyRules();
    void setSelection(const InterfaceSelection& selection);
    InterfaceSelection selection() const;
    void focusField(QLineEdit* field);

    std::uint32_t features_;
    bool dtrSupported_ = false;
    unsigned mode_ = 0;
    int baudValue_ = 19200;
    QString interfaceName_;
    ReaderParameters remembered_;

    QButtonGroup* modeGroup_ = nullptr;
    std::array<QRadioButton*, 7> modeRadios_{};
    QCheckBox* sensorData_ = nullptr;
    QLineEdit* prompt_ = nullptr;
    QGroupBox* interfaceGroup_ = nullptr;
    std::array<QLineEdit*, 3> current_{};
    QComboBox* setBaud_ = nullptr;
    QComboBox* setParity_ = nullptr;
    QComboBox* setStopBits_ = nullptr;
    QWidget* tcpGroup_ = nullptr;
    QCheckBox* tcpActive_ = nullptr;
    QLabel* addressLabel_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* dtr_ = nullptr;
    QButtonGroup* powerOnGroup_ = nullptr;
    std::array<QRadioButton*, 3> powerOnRadios_{};
    QLineEdit* cycleTime_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QPushButton* functionTest_ = nullptr;
    QPushButton* readContents_ = nullptr;
};

} // namespace veltra
