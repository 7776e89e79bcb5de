#include "VeltraApp.h"

#include "AppSettings.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "PortSelection.h"
#include "StringTable.h"
#include "WaitIndicator.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace veltra {

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configuration tool for 125 kHz RFID readers"));
    const QCommandLineOption port(
        QStringList{QStringLiteral("port")},
        QStringLiteral("Use interface NAME (e.g. COM1, /dev/ttyUSB0), stored as the chosen one."),
        QStringLiteral("NAME"));
    parser.addOption(port);
    parser.addHelpOption();
    if (!parser.parse(arguments)) {
        result.ok = false;
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.ok = false;
        result.error = parser.helpText();
        return result;
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
}

CVeltraApp::~CVeltraApp() {
    frame_.reset();
    removeWaitIndicator();
}

bool CVeltraApp::initInstance() {
    const CommandLine line = parseCommandLine(arguments());
    if (!line.ok) {
        QTextStream(stderr) << line.error << '\n';
        return false;
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
    frame_ = std::make_unique<CMainFrame>(*settings_, *ports_, options);
    if (!frame_->isValid()) {
        QTextStream(stderr) << "The background picture could not be loaded.\n";
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
    return true;
}

} // namespace veltra
