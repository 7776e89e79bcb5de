// The application object: start-up in its fixed order, the command line, and the process-wide
// parts (settings, wait handling, the main window).
#pragma once

#include <QApplication>
#include <QString>

#include <functional>
#include <memory>

namespace veltra {

class AppSettings;
class CMainFrame;
class CUpdateCheck;
class DeviceLinkPortEnumerator;

// What the command line asks for. Read before the application object exists, so that help and
// errors need no display.
struct CommandLine {
    QString port;    // --port NAME: use this interface, as if chosen in the interface dialog
    QString mkrFile; // a configuration file to open in the sheet once a reader is connected
    bool help = false;
    bool version = false;
    bool ok = true;
    QString error; // what went wrong, or the help text with `help`
};

CommandLine parseCommandLine(const QStringList& arguments);

class CVeltraApp : public QApplication {
    Q_OBJECT
public:
    CVeltraApp(int& argc, char** argv);
    ~CVeltraApp() override;

    // Start-up: settings, the reader version list download, the main window with its view,
    // showing it (which connects to the stored interface), then the program version list
    // download when automatic checks are on. False when the program cannot start.
    bool initInstance(const CommandLine& line);

    CMainFrame* mainFrame() const { return frame_.get(); }
    // The update checks, made by initInstance (which reads their source from the environment
    // and the settings) and kept to the end of the run.
    CUpdateCheck& programUpdateCheck() const { return *programUpdateCheck_; }
    CUpdateCheck& deviceUpdateCheck() const { return *deviceUpdateCheck_; }

    // The update check's start-up steps: the reader list in the background from the first
    // moment on, the program list once the window shows the reader (its arrival reaches the
    // main window as command 1034).
    std::function<void()> startReaderListDownload;
    std::function<void(CMainFrame*)> startProgramListDownload;

private:
    // A download still running at exit is stopped.
    std::unique_ptr<CUpdateCheck> programUpdateCheck_;
    std::unique_ptr<CUpdateCheck> deviceUpdateCheck_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<DeviceLinkPortEnumerator> ports_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace veltra
