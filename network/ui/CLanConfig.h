// The LAN settings dialog ("LAN Einstellung"): reads the network settings of an Ethernet
// reader, lets them be changed (DHCP name or fixed address, TCP port, subnet mask, gateway),
// writes them and waits until the reader answers at its new name.
#pragma once

#include "config/workflow/ReaderLink.h"
#include "network/workflow/LanSettings.h"

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;

namespace veltra {

class CLanConfig : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWaitLimitMs = 25000;
    static constexpr int kPingPeriodMs = 100;

    // readerName: the reader's network name as the library takes it ("192.168.0.20-10001",
    // "[READER]-10001", possibly with ":address").
    CLanConfig(ReaderLink& link, const QString& readerName, QWidget* parent = nullptr);

    // After OK: the reader's new network name.
    const QString& readerName() const { return readerName_; }

    // The controls, for tests.
    QRadioButton* dhcpButton() const { return dhcpButton_; }
    QRadioButton* fixedButton() const { return fixedButton_; }
    QLineEdit* dhcpNameEdit() const { return dhcpName_; }
    QSpinBox* dhcpPortEdit() const { return dhcpPort_; }
    QLineEdit* addressEdit() const { return address_; }
    QSpinBox* addressPortEdit() const { return addressPort_; }
    QLineEdit* maskEdit() const { return mask_; }
    QLineEdit* gatewayEdit() const { return gateway_; }
    QProgressBar* progressBar() const { return progress_; }
    QDialogButtonBox* buttons() const { return buttons_; }

public slots:
    void accept() override;

private:
    void readSettings();
    void showSettings();
    void takeFields();
    void applyEnabling();
    void setBusy(bool busy);

    ReaderLink& link_;
    QString readerName_;
    LanSettings settings_;
    QRadioButton* dhcpButton_;
    QRadioButton* fixedButton_;
    QLineEdit* dhcpName_;
    QSpinBox* dhcpPort_;
    QLineEdit* address_;
    QSpinBox* addressPort_;
    QLineEdit* mask_;
    QLineEdit* gateway_;
    QProgressBar* progress_;
    QDialogButtonBox* buttons_;
};

} // namespace veltra
