#include "app/VeltraApp.h"

#include "app/AppSettings.h"
#include "app/CFunktionTestDlg.h"
#include "app/DeviceLinkPortEnumerator.h"
#include "app/MainFrame.h"
#include "app/SheetServicesInstall.h"
#include "resources/strings/StringTable.h"
#include "update/workflow/CUpdateCheck.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitIndicator.h"

#include <QCommandLineParser>
#include <QDesktopServices>

#include <cstdio>

namespace veltra {

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    QCommandLineParser parser;
    const QCommandLineOption port(
        QStringList{QStringLiteral("port")},
        QStringLiteral("Use interface NAME (e.g. COM1, /dev/ttyUSB0), stored as the chosen one."),
        QStringLiteral("NAME"));
    parser.addOption(port);
    parser.addHelpOption();
    const QCommandLineOption version(QStringList{QStringLiteral("version")},
                                     QStringLiteral("Show the program's version."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Configuration file (.mkr) to open."));
    // "-platform offscreen" and the like belong to Qt, which takes them out later; they and
    // their values are left out here, so that a value is never taken for a file name.
    static const QStringList kQtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                         QStringLiteral("nograb"), QStringLiteral("dograb"),
                                         QStringLiteral("sync")};
    static const QStringList kQtOptionsWithValue = {
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
        QStringLiteral("style"),           QStringLiteral("stylesheet"),
        QStringLiteral("display"),         QStringLiteral("geometry"),
        QStringLiteral("qmljsdebugger"),   QStringLiteral("fontengine"),
        QStringLiteral("dialogs"),         QStringLiteral("name"),
        QStringLiteral("title"),           QStringLiteral("visual")};
    QStringList own;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        QString name = argument;
        while (i > 0 && name.startsWith(QLatin1Char('-'))) {
            name.remove(0, 1);
        }
        const bool hasValue = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (i > 0 && argument.startsWith(QLatin1Char('-')) && kQtFlags.contains(name)) {
            continue;
        }
        if (i > 0 && argument.startsWith(QLatin1Char('-')) && kQtOptionsWithValue.contains(name)) {
            if (!hasValue) {
                ++i;
            }
            continue;
        }
        own.append(argument);
    }
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(own)) {
        result.ok = false;
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // Written out here: the parser's own help text needs a running application object,
        // and help must work without a display.
        result.help = true;
        result.error = QStringLiteral(
            "Usage: quarnel-veltra [--port NAME] [FILE.mkr]\n"
            "Configuration tool for 125 kHz RFID readers.\n\n"
            "  --port NAME  use interface NAME (e.g. COM1, /dev/ttyUSB0, /dev/pts/7), stored as\n"
            "               the chosen interface before the program connects\n"
            "  FILE.mkr     open this configuration file in the configuration sheet once the\n"
            "               reader is connected\n"
            "  -h, --help   show this help\n"
            "  --version    show the program's version\n");
        return result;
    }
    if (parser.isSet(version)) {
        result.version = true;
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        result.ok = false;
        result.error = QStringLiteral("only one configuration file can be opened");
        return result;
    }
    if (!files.isEmpty()) {
        result.mkrFile = files.first();
    }
    if (parser.isSet(port)) {
        result.port = parser.value(port).trimmed();
        if (result.port.isEmpty()) {
            result.ok = false;
            result.error = QStringLiteral("--port needs an interface name");
        }
    }
    return result;
}

CVeltraApp::CVeltraApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QString::fromLatin1(AppSettings::kOrganisation));
    setApplicationName(QString::fromLatin1(AppSettings::kApplication));
    setApplicationVersion(QStringLiteral(VELTRA_PRODUCT_VERSION));
    startReaderListDownload = [this] { deviceUpdateCheck_->StartDownload(nullptr, 0); };
    startProgramListDownload = [this](CMainFrame* frame) {
        programUpdateCheck_->StartDownload(frame, CUpdateCheck::kProgramListArrived);
    };
}

CVeltraApp::~CVeltraApp() {
    frame_.reset();
    removeWaitIndicator();
    programUpdateCheck_.reset();
    deviceUpdateCheck_.reset();
}

bool CVeltraApp::initInstance(const CommandLine& line) {
    programUpdateCheck_ = CUpdateCheck::forProgram(updateSource());
    deviceUpdateCheck_ = CUpdateCheck::forDevice(updateSource());
    for (CUpdateCheck* check : {programUpdateCheck_.get(), deviceUpdateCheck_.get()}) {
        check->setDesktopOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    }
    settings_ = std::make_unique<AppSettings>();
    if (!line.port.isEmpty()) {
        settings_->setPortName(line.port);
        settings_->sync();
    }
    if (startReaderListDownload) {
        startReaderListDownload();
    }
    installWaitIndicator();

    ports_ = std::make_unique<DeviceLinkPortEnumerator>();
    CMainFrame::Options options;
    options.connectOnFirstShow = false;
    options.programUpdateCheck = programUpdateCheck_.get();
    options.deviceUpdateCheck = deviceUpdateCheck_.get();
    frame_ = std::make_unique<CMainFrame>(*settings_, *ports_, options);
    installFunctionTest(*settings_, *ports_, frame_.get());
    installSheetServices(*settings_, *ports_, frame_.get());
    if (!frame_->isValid()) {
        std::fputs("The background picture could not be loaded.\n", stderr);
        return false;
    }
    frame_->show();
    // The window is on screen before the reader is asked, then the title shows the reader
    // before the program's own version list is fetched.
    processEvents(QEventLoop::ExcludeUserInputEvents);
    frame_->initialConnection();
    if (settings_->automaticUpdateCheck() && startProgramListDownload) {
        startProgramListDownload(frame_.get());
    }
    if (!line.mkrFile.isEmpty()) {
        // Once the event loop runs: the sheet is a modal dialog of its own.
        const QString file = line.mkrFile;
        QMetaObject::invokeMethod(
            frame_.get(), [frame = frame_.get(), file] { frame->openConfigurationFile(file); },
            Qt::QueuedConnection);
    }
    return true;
}

} // namespace veltra
