#include "app/MainFrame.h"

#include "app/AppSettings.h"
#include "app/DialogLauncher.h"
#include "app/HelpManual.h"
#include "app/KeyLockIndicators.h"
#include "app/PortNames.h"
#include "app/PortSelectDlg.h"
#include "app/PortSelection.h"
#include "app/ReaderConfigDlg.h"
#include "app/ReaderConnection.h"
#include "app/VeltraView.h"
#include "config/DeviceFeatures.h"
#include "config/workflow/ProfileFilterSettings.h"
#include "config/workflow/ReaderReads.h"
#include "resources/strings/InstalledFiles.h"
#include "resources/strings/StringTable.h"
#include "station/ui/StationDlg.h"
#include "update/workflow/CUpdateCheck.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"
#include "widgets/WaitIndicator.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>

namespace veltra {
namespace {

constexpr int kToolButtonSize = 50;
constexpr int kToolIconSize = 40;
constexpr int kStatusMessageMs = 6000;

// Firmware version text for the update check: "1.%02d" of the version character, where a
// character outside 0-9, A-Z, a-z counts as 0.
QString firmwareVersionText(unsigned char c) {
    unsigned value = versionNumber(static_cast<char>(c));
    if (value == 255) {
        value = 0;
    }
    return QString::asprintf("1.%02u", value);
}

} // namespace

bool commandEnabled(int commandId, std::uint32_t features) {
    switch (commandId) {
    case command::Filter:
        return (features & feature::NoFilter) == 0;
    case command::IpAddress:
        return (features & feature::LanConnection) != 0;
    case command::StartMode:
        return (features & feature::PowerOnMode) != 0;
    default:
        return true;
    }
}

CMainFrame::CMainFrame(AppSettings& settings, PortEnumerator& ports, const Options& options,
                       QWidget* parent)
    : QMainWindow(parent), settings_(settings), ports_(ports), options_(options) {
    if (options_.programDir.isEmpty()) {
        options_.programDir = QCoreApplication::applicationDirPath();
    }
    resize(700, 670);
    view_ = new CVeltraView(loadBackgroundPicture(devicePixelRatioF()), this);
    setCentralWidget(view_);

    createActions();
    createMenus();
    createToolBar();
    messagePane_ = new QLabel(this);
    statusBar()->addWidget(messagePane_, 1);
    locks_ = new KeyLockIndicators(this);
    statusBar()->addPermanentWidget(locks_);
    statusBar()->setSizeGripEnabled(false);
    // No sizing frame: the window is exactly as large as its bars and the view need.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    programCheck_ = options_.programUpdateCheck;
    deviceCheck_ = options_.deviceUpdateCheck;
    if (programCheck_ == nullptr) {
        ownProgramCheck_ = CUpdateCheck::forProgram(updateSource());
        programCheck_ = ownProgramCheck_.get();
    }
    if (deviceCheck_ == nullptr) {
        ownDeviceCheck_ = CUpdateCheck::forDevice(updateSource());
        deviceCheck_ = ownDeviceCheck_.get();
    }
    connect(this, &CMainFrame::deviceIdentityRecorded, this,
            [this](const DeviceIdentityRecord& id) {
                deviceCheck_->setDeviceIdentity(id.modelName, id.connectionKind, id.typeCode,
                                                id.firmware);
            });
    connect(this, &CMainFrame::firmwareCheckRequested, this, &CMainFrame::onFirmwareCheck);

    placeWindow();
    if (settings_.language() == 1) {
        switchToEnglish();
    }
    retranslate();
    setWindowTitle(str(57344));
}

CMainFrame::~CMainFrame() {
    if (english_) {
        QCoreApplication::removeTranslator(english_.get());
    }
}

bool CMainFrame::isValid() const {
    return view_->isValid();
}

ConnectionContext CMainFrame::context() {
    return ConnectionContext{settings_, ports_, this};
}

void CMainFrame::placeWindow() {
    QPoint position = settings_.windowPosition();
    // A position left over from a screen that is no longer attached would hide the window.
    if (QGuiApplication::screenAt(position + QPoint(40, 20)) == nullptr) {
        position = QPoint(0, 0);
    }
    move(position);
}

void CMainFrame::createActions() {
    struct Def {
        int id;
        const char* icon;
        void (CMainFrame::*slot)();
    };
    const Def defs[] = {
        {command::Configure, ":/images/configure.png", &CMainFrame::onConfigure},
        {command::ReadConfiguration, ":/images/readconfig.png", &CMainFrame::onReadConfiguration},
        {command::Interface, ":/images/interface.png", &CMainFrame::onInterface},
        {command::Filter, nullptr, &CMainFrame::onFilter},
        {command::IpAddress, nullptr, &CMainFrame::onIpAddress},
        {command::StartMode, nullptr, &CMainFrame::onStartMode},
        {command::Station, nullptr, &CMainFrame::onStation},
        {command::German, nullptr, &CMainFrame::switchToGerman},
        {command::English, nullptr, nullptr},
        {command::Exit, ":/images/exit.png", nullptr},
        {command::About, ":/images/about.png", &CMainFrame::onAbout},
        {command::Help, ":/images/help.png", &CMainFrame::onHelp},
    };
    for (const Def& def : defs) {
        auto* act = new QAction(this);
        if (def.icon != nullptr) {
            act->setIcon(QIcon(QString::fromLatin1(def.icon)));
        }
        if (def.slot != nullptr) {
            connect(act, &QAction::triggered, this, def.slot);
        }
        commands_.push_back({def.id, act});
    }
    connect(action(command::English), &QAction::triggered, this, [this] { switchToEnglish(); });
    connect(action(command::Exit), &QAction::triggered, this, &QWidget::close);
    action(command::German)->setCheckable(true);
    action(command::English)->setCheckable(true);
    action(command::Help)->setShortcut(QKeySequence(Qt::Key_F1));
    action(command::Help)->setShortcutContext(Qt::ApplicationShortcut);
    addAction(action(command::Help));
}

QAction* CMainFrame::action(int commandId) const {
    for (const Command& c : commands_) {
        if (c.id == commandId) {
            return c.action;
        }
    }
    return nullptr;
}

void CMainFrame::createMenus() {
    fileMenu_ = menuBar()->addMenu(QString());
    fileMenu_->addAction(action(command::Configure));
    fileMenu_->addAction(action(command::ReadConfiguration));
    fileMenu_->addAction(action(command::Station));
    fileMenu_->addSeparator();
    fileMenu_->addAction(action(command::Exit));
    settingsMenu_ = menuBar()->addMenu(QString());
    settingsMenu_->addAction(action(command::Interface));
    settingsMenu_->addAction(action(command::Filter));
    settingsMenu_->addAction(action(command::IpAddress));
    settingsMenu_->addAction(action(command::StartMode));
    languageMenu_ = menuBar()->addMenu(QString());
    languageMenu_->addAction(action(command::German));
    languageMenu_->addAction(action(command::English));
    helpMenu_ = menuBar()->addMenu(QString());
    helpMenu_->addAction(action(command::About));
    for (QMenu* menu : {fileMenu_, settingsMenu_, languageMenu_, helpMenu_}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    }
}

void CMainFrame::createToolBar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("toolbar128"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(kToolIconSize, kToolIconSize));
    // 0 stands for a separator.
    const int order[] = {command::Configure,
                         command::ReadConfiguration,
                         0,
                         command::Interface,
                         0,
                         command::About,
                         command::Help,
                         0,
                         command::Exit};
    for (int id : order) {
        if (id == 0) {
            toolbar_->addSeparator();
        } else {
            toolbar_->addAction(action(id));
        }
    }
    for (QAction* act : toolbar_->actions()) {
        if (QWidget* button = toolbar_->widgetForAction(act); button != nullptr) {
            button->setFixedSize(kToolButtonSize, kToolButtonSize);
        }
    }
    addToolBar(Qt::TopToolBarArea, toolbar_);
}

void CMainFrame::retranslate() {
    fileMenu_->setTitle(str(70000));
    settingsMenu_->setTitle(str(70004));
    languageMenu_->setTitle(str(70009));
    helpMenu_->setTitle(str(70012));
    struct Text {
        int id;
        int caption;
        int tip;
    };
    const Text texts[] = {
        {command::Configure, 70001, 70020}, {command::ReadConfiguration, 70002, 70021},
        {command::Interface, 70005, 70022}, {command::Filter, 70006, 0},
        {command::IpAddress, 70007, 0},     {command::StartMode, 70008, 0},
        {command::Station, 77052, 0},       {command::German, 70010, 0},
        {command::English, 70011, 0},       {command::Exit, 70003, 70025},
        {command::About, 70013, 70023},     {command::Help, 70014, 70024},
    };
    for (const Text& t : texts) {
        QAction* act = action(t.id);
        act->setText(str(t.caption));
        const QString tip = t.tip != 0 ? str(t.tip) : QString(act->text()).remove(QLatin1Char('&'));
        act->setToolTip(tip);
        act->setStatusTip(tip);
    }
    toolbar_->setWindowTitle(str(70026));
    messagePane_->setText(str(70030));
    locks_->retranslate();
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    for (int id : {command::Filter, command::IpAddress, command::StartMode}) {
        action(id)->setEnabled(commandEnabled(id, features_));
    }
    action(command::German)->setChecked(language_ == 0);
    action(command::English)->setChecked(language_ == 1);
}

void CMainFrame::notAvailable() {
    statusBar()->showMessage(str(70034), kStatusMessageMs);
}

OpenResult CMainFrame::openReader(bool messages) {
    OpenResult reader = ConnectReader(context(), messages);
    if (reader.handle > 0) {
        baudCode_ = reader.baudCode;
        features_ = reader.features;
    }
    return reader;
}

OpenResult CMainFrame::connectWithFallback() {
    baudCode_ = 19200;
    OpenResult reader;
    {
        WaitCursor wait;
        reader = openReader(false);
    }
    if (reader.handle <= 0) {
        reader = SelectInterfaceLoop();
    }
    updateCommandStates();
    if (reader.handle <= 0) {
        reader = OpenResult{};
        reader.baudCode = baudCode_;
        reader.features = features_;
    }
    return reader;
}

OpenResult CMainFrame::SelectInterfaceLoop() {
    for (;;) {
        CPortSelectDlg dialog(settings_, ports_, this);
        if (dialog.exec() != QDialog::Accepted) {
            return OpenResult{};
        }
        WaitCursor wait;
        OpenResult reader = openReader(true);
        if (reader.handle > 0) {
            return reader;
        }
    }
}

void CMainFrame::RecordDeviceIdentity(int& handle) {
    if (handle <= 0) {
        return;
    }
    const DeviceTypeReply type = readDeviceType(qnLink(), handle);
    const bool known = type.length == 4;
    if (known) {
        DeviceIdentityRecord record;
        if (qnLink().isHidConnection(handle) == 1) {
            record.connectionKind = QStringLiteral("USB");
        } else if (qnLink().isLanConnection(handle) == 1) {
            record.connectionKind = QStringLiteral("LAN");
        } else {
            record.connectionKind = QStringLiteral("COM");
        }
        record.modelName = QString::fromLatin1(type.modelName);
        record.typeCode =
            QString::fromLatin1(reinterpret_cast<const char*>(type.identity.data()), 3);
        record.firmware = firmwareVersionText(type.identity[3]);
        identity_ = record;
    }
    // The reader goes back to its operating mode before the link is closed, as after every
    // other command; a bare close would leave it in programming mode.
    CloseReader(handle);
    if (known) {
        emit deviceIdentityRecorded(identity_);
        if (settings_.automaticUpdateCheck()) {
            QMetaObject::invokeMethod(
                this, [this] { emit firmwareCheckRequested(); }, Qt::QueuedConnection);
        }
    }
}

void CMainFrame::onConfigure() {
    openConfigurationFile(QString());
}

void CMainFrame::openConfigurationFile(const QString& path) {
    OpenResult reader = connectWithFallback();
    if (dialogs::openConfigurationSheet(this, reader, path) == dialogs::Outcome::Unavailable) {
        notAvailable();
    }
    // The sheet takes the handle over; whatever it leaves is closed here.
    CloseReader(reader.handle);
}

void CMainFrame::onReadConfiguration() {
    OpenResult reader = connectWithFallback();
    if (dialogs::openConfigurationReport(this, reader) == dialogs::Outcome::Unavailable) {
        notAvailable();
    }
    CloseReader(reader.handle);
}

void CMainFrame::onInterface() {
    OpenResult reader = SelectInterfaceLoop();
    updateCommandStates();
    RecordDeviceIdentity(reader.handle);
}

void CMainFrame::onFilter() {
    if (!commandEnabled(command::Filter, features_)) {
        return;
    }
    if (dialogs::openFilterDialog(this) == dialogs::Outcome::Unavailable) {
        notAvailable();
    }
}

void CMainFrame::onIpAddress() {
    if (!commandEnabled(command::IpAddress, features_)) {
        return;
    }
    QString connection;
    {
        const PortSelection selection(settings_, ports_);
        connection = selection.connectionString();
    }
    QString newAddress;
    const dialogs::Outcome outcome = dialogs::openLanSettings(this, connection, newAddress);
    if (outcome == dialogs::Outcome::Unavailable) {
        notAvailable();
    } else if (outcome == dialogs::Outcome::Accepted && !newAddress.isEmpty()) {
        settings_.setPortName(QString::fromLatin1(kLanPrefix) + newAddress);
    }
    // Connecting again brings the title and DeviceFeatures up to date.
    OpenResult reader = connectWithFallback();
    CloseReader(reader.handle);
}

void CMainFrame::onStartMode() {
    if (!commandEnabled(command::StartMode, features_)) {
        return;
    }
    // This command leaves the window's DeviceFeatures as they are; the title still follows the
    // reader.
    OpenResult reader;
    {
        WaitCursor wait;
        reader = ConnectReader(context(), true);
    }
    if (reader.handle <= 0) {
        return;
    }
    CReaderConfig dialog(reader, this);
    dialog.exec();
    CloseReader(reader.handle);
}

// The production station against the current interface; the dialog opens its own connections.
void CMainFrame::onStation() {
    ConnectionTarget target;
    {
        const PortSelection selection(settings_, ports_);
        target = selection.target();
    }
    const ProfileFilterSettings filters;
    StationDlg dialog(qnLink(), target, &filters, this);
    dialog.exec();
}

bool CMainFrame::switchToEnglish() {
    if (language_ == 1) {
        return true;
    }
    auto english = std::make_unique<QTranslator>();
    QString file = findDataFile(options_.programDir, QString::fromLatin1(kEnglishTranslationFile));
    if (file.isEmpty()) {
        file = QDir(options_.programDir).filePath(QString::fromLatin1(kEnglishTranslationFile));
    }
    if (!english->load(file)) {
        messageBox().show(this, str(201), IMessageBox::Kind::Warning);
        updateCommandStates();
        return false;
    }
    QCoreApplication::installTranslator(english.get());
    english_ = std::move(english);
    language_ = 1;
    retranslate();
    return true;
}

void CMainFrame::switchToGerman() {
    if (language_ == 0) {
        updateCommandStates();
        return;
    }
    QCoreApplication::removeTranslator(english_.get());
    english_.reset();
    language_ = 0;
    retranslate();
}

void CMainFrame::onAbout() {
    // An about box already open shows the same lines; a second one would only stack on it.
    if (aboutOpen_) {
        return;
    }
    aboutOpen_ = true;
    dialogs::openAboutBox(this, settings_, *programCheck_, *deviceCheck_);
    aboutOpen_ = false;
}

void CMainFrame::onProgramListArrived() {
    if (programCheck_->IsNewerAvailable()) {
        onAbout();
    }
}

void CMainFrame::onFirmwareCheck() {
    if (deviceCheck_->ResolveAlias() && deviceCheck_->IsNewerAvailable()) {
        QMetaObject::invokeMethod(this, &CMainFrame::onAbout, Qt::QueuedConnection);
    }
}

void CMainFrame::customEvent(QEvent* event) {
    if (event->type() == UpdateListEvent::eventType() &&
        static_cast<UpdateListEvent*>(event)->id() == CUpdateCheck::kProgramListArrived) {
        onProgramListArrived();
        return;
    }
    QMainWindow::customEvent(event);
}

void CMainFrame::onHelp() {
    openManual(this, options_.programDir, language_ == 1);
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        if (options_.connectOnFirstShow) {
            QTimer::singleShot(0, this, &CMainFrame::initialConnection);
        }
    }
}

void CMainFrame::initialConnection() {
    OpenResult reader = connectWithFallback();
    RecordDeviceIdentity(reader.handle);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    settings_.setLanguage(language_);
    if (!isMinimized()) {
        settings_.setWindowPosition(pos());
    }
    settings_.sync();
    switchToGerman();
    event->accept();
}

} // namespace veltra
