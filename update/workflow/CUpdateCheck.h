// The check for a newer version of the program or of a reader's firmware against a version list
// on the maker's web server (see update/VersionList.h for the list's format).
//
// The program has two of these: the program check (list "RFIDVersionsLF.txt", section
// "Quarnel-Veltra") and the reader check (list "RFIDDeviceVersions.txt"; its section is found
// through the list's "Alias" section once a reader has identified itself). Each downloads its
// list once per run on a worker thread of its own, started by the first StartDownload; the
// object whose notification is set is told through an UpdateListEvent when the list is there.
//
// Thread rules: every function is called on the thread that created the object (the
// user-interface thread); the worker writes only the list text and its state.
#pragma once

#include "update/workflow/UpdateSource.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QThread;

namespace veltra {

// Posted to the notified object when a list download has ended (with or without a list).
class UpdateListEvent : public QEvent {
public:
    explicit UpdateListEvent(int id);
    static QEvent::Type eventType();
    int id() const { return id_; }

private:
    int id_;
};

class CUpdateCheck {
public:
    static constexpr const char* kProgramList = "RFIDVersionsLF.txt";
    static constexpr const char* kProgramSection = "Quarnel-Veltra";
    static constexpr const char* kDeviceList = "RFIDDeviceVersions.txt";
    // The notification id of the program list (the about box and the main window use it).
    static constexpr int kProgramListArrived = 1034;
    // Installers up to this size are downloaded.
    static constexpr qint64 kMaxInstallerSize = qint64(1) << 31;

    // The program's check, with the built version and the program file's date as its build;
    // and the reader check.
    static std::unique_ptr<CUpdateCheck> forProgram(UpdateSource source);
    static std::unique_ptr<CUpdateCheck> forDevice(UpdateSource source);

    // `listFile` below the source's folder; `section` empty until ResolveAlias fills it.
    CUpdateCheck(const QString& listFile, const QString& section, UpdateSource source);
    // Stops a running download and waits for the worker to end.
    ~CUpdateCheck();
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    // Sets where the end of the download is reported (nullptr or id 0: nowhere). The first call
    // starts the download; a later one, once the list is there, reports at once. Whether a
    // worker exists.
    bool StartDownload(QObject* notify, int notifyId);
    // Waits up to `timeoutMs` for the download to end; whether it has (for callers without an
    // event loop of their own).
    bool waitForList(int timeoutMs);
    // Whether the download has ended (the list may still be empty if it failed).
    bool listArrived() const;
    // Takes a list already at hand, read the way a downloaded one is, instead of downloading
    // it (call it instead of StartDownload): the list counts as arrived at once.
    void useList(const QByteArray& data);

    // The reader as it identified itself: model name, connection kind ("USB", "LAN", "COM"),
    // type code (three characters) and local firmware version ("1.07").
    void setDeviceIdentity(const QString& modelName, const QString& connectionKind,
                           const QString& typeCode, const QString& localVersion);
    // The program's own version ("1.10", made "-.--" when missing) and build date
    // ("yyyy-MM-dd").
    void setProgramVersion(const QString& productVersion, const QString& build);

    // Waits up to 500 ms for the list, then looks the type code up in "Alias"; a section found
    // becomes this check's section.
    bool ResolveAlias();
    bool IsNewerAvailable() const;
    QString ListedVersion() const;
    QString ListedBuild() const;
    QString ListedInstaller() const;

    // Downloads the listed installer into a new private folder below `folder` (the system's
    // temporary folder when empty). The file appears under its name only whole and, when the
    // list gives a "Sha256", with that checksum. Returns its path, or empty (lastError() says
    // why).
    QString DownloadInstaller(const QString& folder = {});
    // Starts a downloaded installer: a .deb or .rpm through the desktop's package installer, an
    // executable file directly, anything else through the desktop. Refuses a file in a folder
    // that others may write to. False with lastError() set to the message to show.
    bool StartInstaller(const QString& path);

    // How a file is handed to the desktop (the program uses QDesktopServices); without one,
    // xdg-open.
    void setDesktopOpener(std::function<bool(const QUrl&)> opener);

    QString lastError() const { return lastError_; }
    QString listAddress() const { return listAddress_; }
    QString section() const { return section_; }
    QString modelName() const { return modelName_; }
    QString connectionKind() const { return connectionKind_; }
    QString localVersion() const { return localVersion_; }
    QString programVersion() const { return programVersion_; }
    QString programBuild() const { return programBuild_; }
    // The list as downloaded; empty before the download ended or when it failed.
    std::string listText() const;

private:
    struct Worker;
    void runDownload();
    void deliver();
    std::string listedKey(const char* key) const;
    bool variantNewer(const std::string& text) const;

    std::unique_ptr<Worker> worker_;
    QString modelName_;
    QString connectionKind_;
    QString typeCode_;
    QString localVersion_;
    QString programVersion_;
    QString programBuild_;
    QString listAddress_;
    QString section_;
    mutable std::mutex textLock_;
    std::string listText_;
    bool listGiven_ = false;
    QPointer<QObject> notify_;
    int notifyId_ = 0;
    UpdateSource source_;
    QString lastError_;
    std::function<bool(const QUrl&)> opener_;
    // Lives on the creating thread; the worker reaches that thread through it.
    QObject relay_;
};

} // namespace veltra
