#include "network/ui/CLanConfig.h"

#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QThread>

namespace veltra {

namespace {

constexpr int kStrTitle = 78030;
constexpr int kStrDhcp = 78031;
constexpr int kStrFixed = 78032;
constexpr int kStrDhcpName = 78033;
constexpr int kStrAddress = 78034;
constexpr int kStrMask = 78035;
constexpr int kStrGateway = 78036;
constexpr int kStrValidAddress = 10128;
constexpr int kStrNotSet = 10130;
constexpr int kStrTooManyCharacters = 73007;
constexpr int kStrOk = 70102;
constexpr int kStrCancel = 70103;

QLineEdit* addressField(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    static const QRegularExpression pattern(QStringLiteral(R"(^$|^(\d{1,3})(\.\d{0,3}){0,3}$)"));
    edit->setValidator(new QRegularExpressionValidator(pattern, edit));
    edit->setMaxLength(15);
    return edit;
}

QSpinBox* portField(QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(0, 65535);
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    return spin;
}

} // namespace

CLanConfig::CLanConfig(ReaderLink& link, const QString& readerName, QWidget* parent)
    : QDialog(parent), link_(link), readerName_(readerName) {
    setWindowTitle(str(kStrTitle));
    dhcpButton_ = new QRadioButton(str(kStrDhcp), this);
    fixedButton_ = new QRadioButton(str(kStrFixed), this);
    auto* group = new QButtonGroup(this);
    group->addButton(dhcpButton_);
    group->addButton(fixedButton_);
    dhcpName_ = new QLineEdit(this);
    dhcpPort_ = portField(this);
    address_ = addressField(this);
    addressPort_ = portField(this);
    mask_ = addressField(this);
    gateway_ = addressField(this);
    progress_ = new QProgressBar(this);
    progress_->setOrientation(Qt::Vertical);
    progress_->setTextVisible(false);
    progress_->hide();
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(str(kStrOk));
    buttons_->button(QDialogButtonBox::Cancel)->setText(str(kStrCancel));

    auto* grid = new QGridLayout;
    grid->addWidget(dhcpButton_, 0, 0, 1, 4);
    grid->addWidget(new QLabel(str(kStrDhcpName), this), 1, 0);
    grid->addWidget(dhcpName_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("-"), this), 1, 2);
    grid->addWidget(dhcpPort_, 1, 3);
    grid->addWidget(fixedButton_, 2, 0, 1, 4);
    grid->addWidget(new QLabel(str(kStrAddress), this), 3, 0);
    grid->addWidget(address_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("-"), this), 3, 2);
    grid->addWidget(addressPort_, 3, 3);
    grid->addWidget(new QLabel(str(kStrMask), this), 4, 0);
    grid->addWidget(mask_, 4, 1);
    grid->addWidget(new QLabel(str(kStrGateway), this), 5, 0);
    grid->addWidget(gateway_, 5, 1);
    grid->addWidget(buttons_, 6, 0, 1, 4);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(grid);
    outer->addWidget(progress_);

    connect(buttons_, &QDialogButtonBox::accepted, this, &CLanConfig::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CLanConfig::reject);
    for (QRadioButton* button : {dhcpButton_, fixedButton_}) {
        connect(button, &QRadioButton::clicked, this, [this] {
            takeFields();
            applyEnabling();
        });
    }
    readSettings();
}

void CLanConfig::readSettings() {
    WaitCursor wait;
    (void)settings_.read(link_, readerName_.toStdString());
    showSettings();
}

void CLanConfig::showSettings() {
    dhcpButton_->setChecked(settings_.mode == LanSettings::kDhcp);
    fixedButton_->setChecked(settings_.mode == LanSettings::kFixedAddress);
    dhcpName_->setText(QString::fromStdString(settings_.dhcpName));
    address_->setText(QString::fromStdString(settings_.address));
    dhcpPort_->setValue(settings_.port);
    addressPort_->setValue(settings_.port);
    mask_->setText(QString::fromStdString(settings_.subnetMask));
    gateway_->setText(QString::fromStdString(settings_.gateway));
    applyEnabling();
}

void CLanConfig::takeFields() {
    const int previous = settings_.mode;
    settings_.mode = dhcpButton_->isChecked()    ? LanSettings::kDhcp
                     : fixedButton_->isChecked() ? LanSettings::kFixedAddress
                                                 : LanSettings::kNoMode;
    settings_.dhcpName = dhcpName_->text().toStdString();
    settings_.address = address_->text().toStdString();
    // The port field of the mode that was shown is the one that was edited.
    settings_.port = previous == LanSettings::kDhcp ? dhcpPort_->value() : addressPort_->value();
    settings_.subnetMask = mask_->text().toStdString();
    settings_.gateway = gateway_->text().toStdString();
    dhcpPort_->setValue(settings_.port);
    addressPort_->setValue(settings_.port);
}

void CLanConfig::applyEnabling() {
    const bool dhcp = settings_.mode == LanSettings::kDhcp;
    const bool fixed = settings_.mode == LanSettings::kFixedAddress;
    const bool none = settings_.mode == LanSettings::kNoMode;
    dhcpName_->setEnabled(dhcp || none);
    dhcpPort_->setEnabled(dhcp || none);
    address_->setEnabled(fixed || none);
    addressPort_->setEnabled(fixed || none);
}

void CLanConfig::setBusy(bool busy) {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w != progress_ && w->parentWidget() == this) {
            w->setEnabled(!busy);
        }
    }
    buttons_->setVisible(!busy);
    progress_->setVisible(busy);
    if (!busy) {
        applyEnabling();
    }
}

void CLanConfig::accept() {
    const int shownMode = settings_.mode;
    takeFields();
    if (settings_.dhcpName.size() > LanSettings::kMaxDhcpName) {
        messageBox().show(this,
                          strf(kStrTooManyCharacters, static_cast<int>(LanSettings::kMaxDhcpName)),
                          IMessageBox::Kind::Warning);
        dhcpName_->setFocus();
        return;
    }
    std::string newName;
    if (settings_.newName(newName) == LanSettings::Refusal::InvalidAddress) {
        messageBox().show(this, str(kStrValidAddress), IMessageBox::Kind::Warning);
        address_->setFocus();
        settings_.mode = shownMode;
        return;
    }
    setBusy(true);
    progress_->setRange(0, kWaitLimitMs);
    progress_->setValue(0);
    WaitCursor wait;
    const std::string mask = settings_.subnetMask;
    const std::string gateway = settings_.gateway;
    if (link_.lanSetAddress(readerName_.toStdString().c_str(), newName.c_str(), mask.c_str(),
                            gateway.c_str()) != 0) {
        messageBox().show(this, str(kStrNotSet), IMessageBox::Kind::Error);
        readSettings();
        setBusy(false);
        return;
    }
    readerName_ = QString::fromStdString(newName);
    // The reader restarts its network module; wait until it answers at its new name.
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kWaitLimitMs) {
        progress_->setValue(static_cast<int>(elapsed.elapsed()));
        QCoreApplication::processEvents();
        if (link_.pingLanDevice(newName.c_str()) != 0) {
            break;
        }
        QThread::msleep(kPingPeriodMs);
    }
    setBusy(false);
    QDialog::accept();
}

} // namespace veltra
