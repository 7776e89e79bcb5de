// The program's main window: menu, toolbar, status bar and the background view. Every menu
// command opens its own reader connection, hands it to a dialog or closes it again; no
// connection stays open between two commands.
#pragma once

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTranslator;

namespace veltra {

class AppSettings;
class CUpdateCheck;
class CVeltraView;
class KeyLockIndicators;
class PortEnumerator;
struct ConnectionContext;
struct OpenResult;

// The identity of the last reader, as the firmware update check needs it.
struct DeviceIdentityRecord {
    QString modelName;
    QString connectionKind; // "USB", "LAN" or "COM"
    QString typeCode;       // three hex digits as the reader sent them
    QString firmware;       // "1.07"
};

// The main window's command ids.
namespace command {
inline constexpr int Configure = 32770;
inline constexpr int ReadConfiguration = 32778;
inline constexpr int Interface = 32780;
inline constexpr int German = 32781;
inline constexpr int English = 32782;
inline constexpr int Filter = 32784;
inline constexpr int IpAddress = 32786;
inline constexpr int StartMode = 32787;
inline constexpr int Station = 32790;
inline constexpr int About = 57664;
inline constexpr int Exit = 57665;
inline constexpr int Help = 57670;
} // namespace command

// Whether a command that depends on the reader is available for these DeviceFeatures: "Filter"
// not for readers with a second data page, "IP-Adresse" only over a LAN connection,
// "Startmodus" only for readers with a power-on mode. Other commands are always available.
bool commandEnabled(int commandId, std::uint32_t features);

// Name of the English translation file, next to the program or in its installed data folder.
inline constexpr const char* kEnglishTranslationFile = "Quarnel-VeltraEng.qm";

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // The program's folder, where the translation file and the manual are looked for first
        // (see InstalledFiles.h); empty: the running program's folder.
        QString programDir;
        // Connect to the stored interface once the window is first shown.
        bool connectOnFirstShow = true;
        // The program's and the reader's update checks (owned by the application). Without
        // them the window makes checks of its own that start downloading when the about box
        // first opens.
        CUpdateCheck* programUpdateCheck = nullptr;
        CUpdateCheck* deviceUpdateCheck = nullptr;
    };

    CMainFrame(AppSettings& settings, PortEnumerator& ports, const Options& options,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // False when the background picture is missing; the program then does not start.
    bool isValid() const;

    int language() const { return language_; }
    std::uint32_t deviceFeatures() const { return features_; }
    int baudCode() const { return baudCode_; }
    const DeviceIdentityRecord& lastDeviceIdentity() const { return identity_; }

    // The commands, each as its menu item runs it.
    void onConfigure();
    // "Konfigurieren" with a configuration file loaded into the sheet (a file opened from the
    // desktop or named on the command line).
    void openConfigurationFile(const QString& path);
    void onReadConfiguration();
    void onInterface();
    void onFilter();
    void onIpAddress();
    void onStartMode();
    void onStation();
    bool switchToEnglish();
    void switchToGerman();
    void onAbout();
    void onHelp();
    // Command 1034: the program's version list has arrived; the about box opens when it lists
    // a newer program.
    void onProgramListArrived();
    // Command 1035: after a reader identified itself with automatic checks on; the about box
    // opens when the reader list offers newer firmware for it.
    void onFirmwareCheck();

    CUpdateCheck& programUpdateCheck() const { return *programCheck_; }
    CUpdateCheck& deviceUpdateCheck() const { return *deviceCheck_; }

    // Connects as the commands do: the stored interface without messages, then the interface
    // dialog until a reader answers or the user cancels. The opened reader; without one, a value
    // with handle 0 and the window's baud-rate code and DeviceFeatures, which the commands'
    // dialogs then work with.
    OpenResult connectWithFallback();
    // Shows the interface dialog until a reader answers (the opened reader) or the user cancels
    // (handle 0).
    OpenResult SelectInterfaceLoop();
    // Reads the reader's identity for the firmware check and closes the handle.
    void RecordDeviceIdentity(int& handle);

    // The start-up connection: connect as the commands do, then record the reader's identity.
    void initialConnection();

    // Enables and checks the commands by the DeviceFeatures of the last connection and the
    // language (done whenever a menu opens).
    void updateCommandStates();

    // The toolbar, menu actions and status bar, for tests and the about box.
    QAction* action(int commandId) const;
    QToolBar* commandBar() const { return toolbar_; }
    KeyLockIndicators* lockIndicators() const { return locks_; }
    CVeltraView* view() const { return view_; }

signals:
    // A reader identified itself (feeds the firmware update check).
    void deviceIdentityRecorded(const veltra::DeviceIdentityRecord& identity);
    // Automatic update checks are on and a reader's identity is known: compare its firmware.
    void firmwareCheckRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    ConnectionContext context();
    // ConnectReader; an accepted reader's baud-rate code and DeviceFeatures become the window's.
    OpenResult openReader(bool messages);
    void createActions();
    void createMenus();
    void createToolBar();
    void retranslate();
    void notAvailable();
    void placeWindow();

    AppSettings& settings_;
    PortEnumerator& ports_;
    Options options_;
    std::uint32_t features_ = 0;
    int baudCode_ = 19200;
    int language_ = 0;
    bool firstShow_ = true;
    DeviceIdentityRecord identity_;
    std::unique_ptr<QTranslator> english_;
    std::unique_ptr<CUpdateCheck> ownProgramCheck_;
    std::unique_ptr<CUpdateCheck> ownDeviceCheck_;
    CUpdateCheck* programCheck_ = nullptr;
    CUpdateCheck* deviceCheck_ = nullptr;
    bool aboutOpen_ = false;

    CVeltraView* view_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    KeyLockIndicators* locks_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    struct Command {
        int id;
        QAction* action;
    };
    std::vector<Command> commands_;
};

} // namespace veltra
