#include "app/PortSelectDlg.h"

#include "app/AppSettings.h"
#include "app/DeviceMonitor.h"
#include "app/DialogLauncher.h"
#include "app/PortNames.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"
#include "widgets/WaitIndicator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace veltra {
namespace {

// Only one device-change refresh runs at a time in the whole program: a notification that
// arrives while a refresh's question is open is dropped.
bool g_refreshRunning = false;

constexpr int kSwitchTimeoutMs = 100;
constexpr int kSwitchSettleMs = 1000;
constexpr int kDriverPageSettleMs = 2000;
constexpr int kDeferWhileWaitingMs = 100;

QString usbPrefix() {
    return QString::fromLatin1(kUsbPrefix);
}
QString lanPrefix() {
    return QString::fromLatin1(kLanPrefix);
}

} // namespace

void waitKeepingDisplay(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

CPortSelectDlg::CPortSelectDlg(AppSettings& settings, PortEnumerator& ports, QWidget* parent,
                               ReaderLink& link)
    : QDialog(parent), settings_(settings), ports_(ports), link_(link),
      selection_(settings, ports) {
    buildControls();

    selectLineFormat(selection_.baudCode());
    timeout_->setText(QString::number(selection_.timeoutMs()));
    address_->setText(QString::number(selection_.deviceAddress()));
    ethernet_->setChecked(selection_.ethernetActive());

    fillCaches();
    fillList();
    selectCurrentName(true);
    applyNameToControls();
    updateUsbButtons();
    ipSearch_->setVisible(selection_.ethernetActive());

    // The size laid out now is the smallest the dialog may be made.
    resize(sizeHint());
    setMinimumSize(sizeHint());

    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        refreshTimer_.stop();
        postRefresh();
    });
    monitor_ = new DeviceMonitor(this);
    connect(monitor_, &DeviceMonitor::deviceChanged, this, &CPortSelectDlg::deviceChange);
    postRefresh();
}

CPortSelectDlg::~CPortSelectDlg() = default;

bool CPortSelectDlg::refreshRunning() {
    return g_refreshRunning;
}

void CPortSelectDlg::buildControls() {
    setWindowTitle(str(70200));
    setSizeGripEnabled(true);

    auto* interfaces = new QGroupBox(str(70201), this);
    list_ = new QListWidget(interfaces);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMinimumSize(280, 160);
    ethernet_ = new QCheckBox(str(70202), interfaces);
    ipSearch_ = new QPushButton(str(70203), interfaces);
    hidMode_ = new QRadioButton(str(70204), interfaces);
    virtualCom_ = new QRadioButton(str(70205), interfaces);

    auto* ethernetRow = new QHBoxLayout;
    ethernetRow->addWidget(ethernet_);
    ethernetRow->addStretch();
    ethernetRow->addWidget(ipSearch_);
    auto* usbRow = new QHBoxLayout;
    usbRow->addWidget(hidMode_);
    usbRow->addWidget(virtualCom_);
    usbRow->addStretch();
    auto* interfaceLayout = new QVBoxLayout(interfaces);
    interfaceLayout->addWidget(list_, 1);
    interfaceLayout->addLayout(ethernetRow);
    interfaceLayout->addLayout(usbRow);

    auto* line = new QGroupBox(str(70215), this);
    baud_ = new QComboBox(line);
    baud_->addItems(baudRateChoices());
    parity_ = new QComboBox(line);
    parity_->addItems({str(70209), str(70210), str(70211)});
    stopBits_ = new QComboBox(line);
    stopBits_->addItems({QStringLiteral("1"), QStringLiteral("2")});
    timeout_ = new QLineEdit(line);
    address_ = new QLineEdit(line);
    auto* form = new QFormLayout(line);
    form->addRow(str(70206), baud_);
    form->addRow(str(70207), parity_);
    form->addRow(str(70208), stopBits_);
    form->addRow(str(70212), timeout_);
    form->addRow(str(70213), address_);

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    buttons->addButton(str(70102), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(str(70103), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPortSelectDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPortSelectDlg::reject);

    auto* right = new QVBoxLayout;
    right->addWidget(line);
    right->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addWidget(interfaces, 1);
    top->addLayout(right);
    top->addWidget(buttons);

    connect(list_, &QListWidget::itemSelectionChanged, this, &CPortSelectDlg::entrySelected);
    connect(hidMode_, &QRadioButton::clicked, this, &CPortSelectDlg::hidModePressed);
    connect(virtualCom_, &QRadioButton::clicked, this, &CPortSelectDlg::virtualComPressed);
    connect(ethernet_, &QCheckBox::clicked, this, &CPortSelectDlg::ethernetClicked);
    connect(ipSearch_, &QPushButton::clicked, this, &CPortSelectDlg::ipSearchPressed);
}

void CPortSelectDlg::selectLineFormat(int baudCode) {
    const LineFormat format = decodeBaudCode(baudCode);
    parity_->setCurrentIndex(format.parity);
    stopBits_->setCurrentIndex(format.stopBits == 2 ? 1 : 0);
    baud_->setCurrentIndex(baud_->findText(QString::number(format.baudRate), Qt::MatchExactly));
}

void CPortSelectDlg::fillCaches() {
    if (!selection_.ethernetActive()) {
        selection_.clearCache(PortKind::Lan);
    } else if (selection_.cache(PortKind::Lan).isEmpty()) {
        selection_.MergePortList(PortKind::Lan);
    }
    for (PortKind kind : {PortKind::Usb, PortKind::Serial}) {
        if (selection_.cache(kind).isEmpty()) {
            selection_.MergePortList(kind);
        }
    }
}

void CPortSelectDlg::fillList() {
    const QSignalBlocker block(list_);
    list_->clear();
    list_->addItems(selection_.listEntries());
}

void CPortSelectDlg::selectCurrentName(bool adoptSingleEntry) {
    const QSignalBlocker block(list_);
    const QList<QListWidgetItem*> found =
        list_->findItems(selection_.currentName(), Qt::MatchExactly);
    if (!found.isEmpty() && !selection_.currentName().isEmpty()) {
        list_->setCurrentItem(found.first());
        return;
    }
    list_->clearSelection();
    list_->setCurrentRow(-1);
    if (!adoptSingleEntry) {
        return;
    }
    if (list_->count() == 1) {
        list_->setCurrentRow(0);
        selection_.setCurrentName(list_->item(0)->text());
    } else {
        selection_.setCurrentName(QString());
    }
}

void CPortSelectDlg::applyNameToControls() {
    // USB and network readers run at a fixed line format.
    const bool fixedLine = selection_.hidConnection() || selection_.lanConnection();
    baud_->setEnabled(!fixedLine);
    parity_->setEnabled(!fixedLine);
    stopBits_->setEnabled(!fixedLine);
}

void CPortSelectDlg::updateUsbButtons() {
    const QString& name = selection_.currentName();
    bool enabled = false;
    bool hid = false;
    bool vcom = false;
    if (name.startsWith(usbPrefix()) && IsKnownHidReader(name)) {
        enabled = hid = true;
    } else if (IsMakerVirtualCom(name)) {
        enabled = vcom = true;
    }
    for (QRadioButton* button : {hidMode_, virtualCom_}) {
        button->setAutoExclusive(false);
        button->setEnabled(enabled);
    }
    hidMode_->setChecked(hid);
    virtualCom_->setChecked(vcom);
    hidMode_->setAutoExclusive(true);
    virtualCom_->setAutoExclusive(true);
}

void CPortSelectDlg::entrySelected() {
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    selection_.setCurrentName(chosen.isEmpty() ? QString() : chosen.first()->text());
    applyNameToControls();
    updateUsbButtons();
}

void CPortSelectDlg::hidModePressed() {
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    if (!chosen.isEmpty() && IsMakerVirtualCom(chosen.first()->text())) {
        const WaitCursor wait;
        const QByteArray entry = chosen.first()->text().toUtf8();
        const int handle = link_.openPort(entry.constData(), 19200, 0, kSwitchTimeoutMs);
        if (handle > 0) {
            link_.setUsbInterface(handle, ReaderLink::kUsbKeyboard);
            link_.resetReader(handle, 0, 0);
            link_.closePort(handle);
            selection_.setCurrentName(QString());
            // The reader leaves the bus and comes back as a keyboard reader; the device events
            // rebuild the list.
            waitKeepingDisplay(kSwitchSettleMs);
        }
    }
    updateUsbButtons();
}

void CPortSelectDlg::virtualComPressed() {
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    const QString entry = chosen.isEmpty() ? QString() : chosen.first()->text();
    if (entry.startsWith(usbPrefix()) && IsKnownHidReader(entry)) {
        if (ports_.cdcDriverInstalled()) {
            const WaitCursor wait;
            const QByteArray name = entry.mid(usbPrefix().size()).toUtf8();
            const int handle = link_.openPort(name.constData(), 19200, 0, kSwitchTimeoutMs);
            if (handle > 0) {
                link_.setUsbInterface(handle, ReaderLink::kUsbVirtualCom);
                link_.resetReader(handle, 0, 0);
                link_.closePort(handle);
                selection_.setCurrentName(QString());
                waitKeepingDisplay(kSwitchSettleMs);
            }
        } else {
            askForDriver(str(10134) + QStringLiteral("\r\n") + str(10135) + QStringLiteral("\r\n"));
        }
    }
    updateUsbButtons();
}

void CPortSelectDlg::askForDriver(const QString& question) {
    if (messageBox().askYesNo(this, question)) {
        QDesktopServices::openUrl(QUrl(str(10132)));
        waitKeepingDisplay(kDriverPageSettleMs);
    }
}

void CPortSelectDlg::ethernetClicked() {
    selection_.setEthernetActive(ethernet_->isChecked());
    postRefresh();
    ipSearch_->setVisible(selection_.ethernetActive());
}

void CPortSelectDlg::ipSearchPressed() {
    if (!selection_.ethernetActive()) {
        return;
    }
    QString found;
    if (dialogs::openIpSearch(this, found) != dialogs::Outcome::Accepted || found.isEmpty()) {
        return;
    }
    const qsizetype bracket = found.indexOf(QLatin1Char(']'));
    if (bracket >= 0) {
        found.truncate(bracket + 1);
    }
    selection_.setCurrentName(lanPrefix() + found);
    postRefresh();
}

void CPortSelectDlg::postRefresh() {
    QMetaObject::invokeMethod(
        this, [this] { deviceChange(kRefreshLists); }, Qt::QueuedConnection);
}

void CPortSelectDlg::refreshLists() {
    bool changed = false;
    if (selection_.ethernetActive()) {
        changed = selection_.MergePortList(PortKind::Lan) || changed;
    } else if (!selection_.cache(PortKind::Lan).isEmpty()) {
        selection_.clearCache(PortKind::Lan);
        changed = true;
    }
    changed = selection_.MergePortList(PortKind::Usb) || changed;
    changed = selection_.MergePortList(PortKind::Serial) || changed;
    if (changed) {
        fillList();
    }
    selectCurrentName(false);
}

void CPortSelectDlg::deviceChange(int code) {
    if (readerWaitActive()) {
        // Paint and timer events are delivered while the device link waits for a reader; the
        // link must not be called from inside that wait, so the notification comes back later.
        QTimer::singleShot(kDeferWhileWaitingMs, this, [this, code] { deviceChange(code); });
        return;
    }
    if (g_refreshRunning) {
        return;
    }
    g_refreshRunning = true;
    const bool refresh =
        code == kDeviceArrival || code == kDeviceNodesChanged || code == kRefreshLists;
    if (refresh) {
        refreshLists();
    }
    const int missing = ports_.devicesWithoutDriver();
    // Each missing driver is offered once per dialog; the repeat refreshes after an arrival
    // would otherwise ask the same question six times in a row.
    if (missing != 0 && (missing & ~driverBitsAsked_) != 0) {
        driverBitsAsked_ |= missing;
        QString question;
        if ((missing & 1) != 0) {
            // Either of the two ways drives an FTDI reader on Linux; name both.
            question += str(10133) + QStringLiteral("\r\n") + str(70350) + QStringLiteral("\r\n");
        }
        if ((missing & 2) != 0) {
            question += str(10134) + QStringLiteral("\r\n");
        }
        question += str(10135) + QStringLiteral("\r\n");
        askForDriver(question);
        refreshLists();
    }
    g_refreshRunning = false;
    updateUsbButtons();

    if (code == kDeviceArrival || code == kDeviceNodesChanged) {
        refreshTimer_.start(1000);
        refreshCounter_ = 1;
    } else if (refreshCounter_ >= 1 && refreshCounter_ <= 4) {
        refreshTimer_.start(1000);
        ++refreshCounter_;
    } else {
        refreshCounter_ = 0;
    }
}

bool CPortSelectDlg::takeNumber(QLineEdit* edit, int low, int high, int& value) {
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    if (!ok || number < low || number > high) {
        messageBox().show(this, strf(70104, low, high), IMessageBox::Kind::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = number;
    return true;
}

void CPortSelectDlg::accept() {
    int timeout = 0;
    int address = 0;
    if (!takeNumber(timeout_, 10, 300000, timeout) || !takeNumber(address_, 1, 255, address)) {
        return;
    }
    std::optional<QString> entry;
    if (const QList<QListWidgetItem*> chosen = list_->selectedItems(); !chosen.isEmpty()) {
        entry = chosen.first()->text();
    }
    std::optional<int> code;
    if (baud_->currentIndex() >= 0) {
        code = encodeBaudCode(baud_->currentText().toInt(), parity_->currentIndex(),
                              stopBits_->currentIndex() == 1 ? 2 : 1);
    }
    selection_.store(entry, code, timeout, address, ethernet_->isChecked());
    settings_.sync();
    QDialog::accept();
}

} // namespace veltra
