#include "update/workflow/CUpdateCheck.h"

#include "update/MakerInfo.h"
#include "update/VersionList.h"
#include "update/workflow/HttpsDownload.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace veltra {
namespace {

// After a failed transfer the server is given a moment before anything else is tried.
constexpr int kPauseAfterFailureMs = 1000;
// The desktop gets a moment to show the wait cursor before the installer takes over.
constexpr int kPauseBeforeStartMs = 1000;
constexpr int kAliasWaitStepMs = 100;
constexpr int kAliasWaitMs = 500;

// Waits while the thread's events (but no user input) go on.
void pauseWithEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString fromList(const std::string& value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// Only the owner may change the file and the folder it is started from; anything else could
// have been swapped by another user between the download and the start.
bool privatelyOwned(const QString& path) {
    struct stat st {};
    const QByteArray file = QFile::encodeName(path);
    if (::lstat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return false;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A program the system can run itself: an ELF file or a script with "#!".
bool isProgram(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(4);
    return head.startsWith("\x7f"
                           "ELF") ||
           head.startsWith("#!");
}

// A list is text: whatever follows a NUL byte is not part of it.
std::string listTextOf(const QByteArray& data) {
    const qsizetype end = data.indexOf('\0');
    return std::string(data.constData(), static_cast<std::size_t>(end < 0 ? data.size() : end));
}

QString cannotStart(const QString& path, int first, int second, int error) {
    return QStringLiteral("The File\n\"%1\"\ncan not be started!\nError %2 %3 %4")
        .arg(path)
        .arg(first)
        .arg(second)
        .arg(error);
}

} // namespace

UpdateListEvent::UpdateListEvent(int id) : QEvent(eventType()), id_(id) {}

QEvent::Type UpdateListEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

struct CUpdateCheck::Worker {
    std::unique_ptr<QThread> thread;
    std::atomic<bool> busy{false};
    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
};

CUpdateCheck::CUpdateCheck(const QString& listFile, const QString& section, UpdateSource source)
    : listAddress_(source.baseUrl + listFile), section_(section), source_(std::move(source)) {}

std::unique_ptr<CUpdateCheck> CUpdateCheck::forProgram(UpdateSource source) {
    auto check = std::make_unique<CUpdateCheck>(
        QString::fromLatin1(kProgramList), QString::fromLatin1(kProgramSection), std::move(source));
    // The build date is the program file's date in local time.
    const QFileInfo program(QCoreApplication::applicationFilePath());
    check->setProgramVersion(builtProductVersion(),
                             program.lastModified().toString(QStringLiteral("yyyy-MM-dd")));
    return check;
}

std::unique_ptr<CUpdateCheck> CUpdateCheck::forDevice(UpdateSource source) {
    return std::make_unique<CUpdateCheck>(QString::fromLatin1(kDeviceList), QString(),
                                          std::move(source));
}

CUpdateCheck::~CUpdateCheck() {
    if (worker_) {
        // A list nobody will read any more is not waited for: a server that never answers
        // must not keep the program from ending.
        worker_->stop = true;
        worker_->thread->wait();
    }
}

bool CUpdateCheck::StartDownload(QObject* notify, int notifyId) {
    notify_ = notify;
    notifyId_ = notifyId;
    if (!worker_) {
        auto worker = std::make_unique<Worker>();
        worker->busy = true;
        worker->thread.reset(QThread::create([this] { runDownload(); }));
        if (!worker->thread) {
            return false;
        }
        worker_ = std::move(worker);
        worker_->thread->start();
        return true;
    }
    if (listArrived() && notify != nullptr && notifyId != 0) {
        deliver();
    }
    return true;
}

void CUpdateCheck::runDownload() {
    std::string text;
    if (!listAddress_.isEmpty()) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const HttpsDownload download(source_);
        const HttpsDownload::Outcome outcome = download.fetch(
            QUrl(listAddress_), buffer, static_cast<qint64>(VersionList::kMaxListSize),
            [this] { return worker_->stop.load(); });
        if (outcome.ok) {
            text = listTextOf(buffer.data());
        } else {
            // A list that arrived only in part could name a wrong version ("1.1" of "1.10"), so
            // a failed transfer leaves no list at all.
            const QDeadlineTimer pause(kPauseAfterFailureMs);
            while (!pause.hasExpired() && !worker_->stop) {
                QThread::msleep(20);
            }
        }
    }
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        listText_ = std::move(text);
    }
    worker_->busy = false;
    worker_->done = true;
    QMetaObject::invokeMethod(
        &relay_, [this] { deliver(); }, Qt::QueuedConnection);
}

void CUpdateCheck::deliver() {
    if (notify_ != nullptr && notifyId_ != 0) {
        QCoreApplication::postEvent(notify_, new UpdateListEvent(notifyId_));
    }
}

bool CUpdateCheck::waitForList(int timeoutMs) {
    if (!worker_) {
        return listGiven_;
    }
    return worker_->thread->wait(QDeadlineTimer(timeoutMs)) || listArrived();
}

bool CUpdateCheck::listArrived() const {
    return listGiven_ || (worker_ && !worker_->busy && worker_->done);
}

void CUpdateCheck::useList(const QByteArray& data) {
    // A download refuses a longer body, so such a list counts as one that did not arrive.
    std::string text = data.size() <= static_cast<qsizetype>(VersionList::kMaxListSize)
                           ? listTextOf(data)
                           : std::string();
    const std::lock_guard<std::mutex> lock(textLock_);
    listText_ = std::move(text);
    listGiven_ = true;
}

std::string CUpdateCheck::listText() const {
    const std::lock_guard<std::mutex> lock(textLock_);
    return listText_;
}

void CUpdateCheck::setDeviceIdentity(const QString& modelName, const QString& connectionKind,
                                     const QString& typeCode, const QString& localVersion) {
    modelName_ = modelName;
    connectionKind_ = connectionKind;
    typeCode_ = typeCode;
    localVersion_ = localVersion;
}

void CUpdateCheck::setProgramVersion(const QString& productVersion, const QString& build) {
    programVersion_ = QString::fromStdString(localProgramVersion(productVersion.toStdString()));
    programBuild_ = build;
}

bool CUpdateCheck::ResolveAlias() {
    for (int waited = 0; !listArrived(); waited += kAliasWaitStepMs) {
        if (waited >= kAliasWaitMs) {
            return false;
        }
        QThread::msleep(kAliasWaitStepMs);
    }
    const VersionList list(listText());
    const std::string alias = list.value("Alias", typeCode_.toStdString());
    if (alias.empty()) {
        return false;
    }
    section_ = fromList(alias);
    return true;
}

bool CUpdateCheck::variantNewer(const std::string& text) const {
    const VersionList list(text);
    return !localVersion_.isEmpty() &&
           list.variantNewer(section_.toStdString(), connectionKind_.toStdString(),
                             localVersion_.toStdString());
}

bool CUpdateCheck::IsNewerAvailable() const {
    const std::string text = listText();
    const VersionList list(text);
    const std::string section = section_.toStdString();
    if (!localVersion_.isEmpty()) {
        return variantNewer(text) || list.productNewer(section, localVersion_.toStdString(), {});
    }
    return list.productNewer(section, programVersion_.toStdString(), programBuild_.toStdString());
}

QString CUpdateCheck::ListedVersion() const {
    const VersionList list(listText());
    const std::string section = section_.toStdString();
    if (!connectionKind_.isEmpty()) {
        const std::string variant = list.value(
            VersionList::variantSection(section, connectionKind_.toStdString()), "Version");
        if (!variant.empty()) {
            return fromList(variant);
        }
    }
    return fromList(list.value(section, "Version"));
}

QString CUpdateCheck::ListedBuild() const {
    return fromList(VersionList(listText()).value(section_.toStdString(), "Build"));
}

std::string CUpdateCheck::listedKey(const char* key) const {
    const std::string text = listText();
    const VersionList list(text);
    std::string section = section_.toStdString();
    if (variantNewer(text)) {
        section = VersionList::variantSection(section, connectionKind_.toStdString());
    }
    return list.value(section, key);
}

QString CUpdateCheck::ListedInstaller() const {
    return fromList(listedKey("Installer"));
}

QString CUpdateCheck::DownloadInstaller(const QString& folder) {
    lastError_.clear();
    const QString address = ListedInstaller();
    if (address.isEmpty()) {
        lastError_ = QStringLiteral("no installer listed");
        return {};
    }
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    const QString name = slash > 0 ? address.mid(slash + 1) : address;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        lastError_ = QStringLiteral("no file name in ") + address;
        return {};
    }

    // A folder of its own that only this user can enter: nobody can put another file in the
    // installer's place.
    const QString base = folder.isEmpty() ? QDir::tempPath() : folder;
    QByteArray pattern = QFile::encodeName(base + QStringLiteral("/quarnel-veltra-update-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        lastError_ = QStringLiteral("cannot create a folder in ") + base;
        return {};
    }
    const QString dir = QFile::decodeName(pattern);
    const QString part = dir + QStringLiteral("/.download");
    const QString target = dir + QLatin1Char('/') + name;
    auto fail = [&](const QString& why) {
        lastError_ = why;
        QFile::remove(part);
        QDir().rmdir(dir);
        return QString();
    };

    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return fail(file.errorString());
    }
    const HttpsDownload download(source_);
    const HttpsDownload::Outcome outcome = download.fetch(QUrl(address), file, kMaxInstallerSize);
    const bool flushed = file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!outcome.ok || !flushed) {
        pauseWithEvents(kPauseAfterFailureMs);
        return fail(outcome.ok ? QStringLiteral("cannot write ") + part : outcome.error);
    }

    const QString expected = fromList(listedKey("Sha256")).trimmed().toLower();
    if (!expected.isEmpty()) {
        QFile written(part);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!written.open(QIODevice::ReadOnly) || !hash.addData(&written) ||
            QString::fromLatin1(hash.result().toHex()) != expected) {
            return fail(QStringLiteral("checksum of ") + address + QStringLiteral(" differs"));
        }
    }
    if (!QFile::rename(part, target)) {
        return fail(QStringLiteral("cannot rename to ") + target);
    }
    return target;
}

void CUpdateCheck::setDesktopOpener(std::function<bool(const QUrl&)> opener) {
    opener_ = std::move(opener);
}

bool CUpdateCheck::StartInstaller(const QString& path) {
    lastError_.clear();
    const QFileInfo info(path);
    if (!info.exists()) {
        lastError_ = QStringLiteral("The File\n\"%1\"\ndoes not exist!").arg(path);
        return false;
    }
    pauseWithEvents(kPauseBeforeStartMs);
    if (!privatelyOwned(info.absoluteFilePath())) {
        lastError_ = cannotStart(path, 0, 0, EACCES);
        return false;
    }
    const QString suffix = info.suffix().toLower();
    const bool package = suffix == QLatin1String("deb") || suffix == QLatin1String("rpm");
    int first = 0;
    int second = 0;
    int error = 0;
    if (!package && isProgram(path)) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        first = QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath()) ? 1 : 0;
        if (first == 1) {
            return true;
        }
        error = errno;
    }
    const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    const bool opened =
        opener_ ? opener_(url)
                : QProcess::startDetached(QStringLiteral("xdg-open"), {info.absoluteFilePath()});
    if (opened) {
        return true;
    }
    second = 0;
    if (error == 0) {
        error = errno;
    }
    lastError_ = cannotStart(path, first, second, error);
    return false;
}

} // namespace veltra
