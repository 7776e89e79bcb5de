// The interface dialog: which port, USB reader or network reader the program talks to, with
// the line parameters of a serial port, time-out and bus address. The list follows USB devices
// as they are plugged in and out.
#pragma once

#include "app/PortSelection.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace veltra {

class AppSettings;
class DeviceMonitor;

class CPortSelectDlg : public QDialog {
    Q_OBJECT
public:
    // The "HID Mode" and "Virtual Com" switches talk to the reader through `link`.
    CPortSelectDlg(AppSettings& settings, PortEnumerator& ports, QWidget* parent = nullptr,
                   ReaderLink& link = qnLink());
    ~CPortSelectDlg() override;

    const PortSelection& selection() const { return selection_; }
    QString BuildConnectionString() const { return selection_.connectionString(); }

    // Handles a device-change notification: kDeviceArrival, kDeviceNodesChanged, kRefreshLists
    // or any other code (which only advances the repeat refreshes).
    void deviceChange(int code);
    // Whether a refresh is running somewhere in the program.
    static bool refreshRunning();
    int refreshCounter() const { return refreshCounter_; }

    void accept() override;

    // The controls, for the tests.
    QListWidget* portList() const { return list_; }
    QComboBox* baudCombo() const { return baud_; }
    QComboBox* parityCombo() const { return parity_; }
    QComboBox* stopBitsCombo() const { return stopBits_; }
    QLineEdit* timeoutEdit() const { return timeout_; }
    QLineEdit* addressEdit() const { return address_; }
    QCheckBox* ethernetCheck() const { return ethernet_; }
    QPushButton* ipButton() const { return ipSearch_; }
    QRadioButton* hidModeButton() const { return hidMode_; }
    QRadioButton* virtualComButton() const { return virtualCom_; }

private:
    void buildControls();
    void selectLineFormat(int baudCode);
    void fillCaches();
    void fillList();
    void selectCurrentName(bool adoptSingleEntry);
    void applyNameToControls();
    void updateUsbButtons();
    void entrySelected();
    void hidModePressed();
    void virtualComPressed();
    void ethernetClicked();
    void ipSearchPressed();
    void refreshLists();
    void askForDriver(const QString& question);
    void postRefresh();
    bool takeNumber(QLineEdit* edit, int low, int high, int& value);

    AppSettings& settings_;
    PortEnumerator& ports_;
    ReaderLink& link_;
    PortSelection selection_;
    DeviceMonitor* monitor_ = nullptr;
    QTimer refreshTimer_;
    int refreshCounter_ = 0;
    int driverBitsAsked_ = 0;

    QListWidget* list_ = nullptr;
    QCheckBox* ethernet_ = nullptr;
    QPushButton* ipSearch_ = nullptr;
    QRadioButton* hidMode_ = nullptr;
    QRadioButton* virtualCom_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QLineEdit* address_ = nullptr;
};

// Waits `ms` milliseconds while the windows keep painting (user input is held back).
void waitKeepingDisplay(int ms);

} // namespace veltra
