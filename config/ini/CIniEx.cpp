#include "config/ini/CIniEx.h"

#include "resources/strings/StringTable.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltra {
namespace {

namespace fs = std::filesystem;

// A configuration file is a few kilobytes; anything far beyond that is not one of ours and is
// refused instead of being pulled into memory.
constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isComment(std::string_view key) {
    return !key.empty() && key.front() == ';';
}

std::string_view trimTrailing(std::string_view s, std::string_view chars) {
    const std::size_t end = s.find_last_not_of(chars);
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view trimLeading(std::string_view s, std::string_view chars) {
    const std::size_t begin = s.find_first_not_of(chars);
    return begin == std::string_view::npos ? std::string_view{} : s.substr(begin);
}

// A line feed inside a name or value would split it into lines of its own when the file is
// read back (a value could even start a new section), so it becomes a blank. Other bytes, a
// lone carriage return included, are kept: they do not end a line.
std::string singleLine(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

std::string latin1FromStringId(int id) {
    const char* german = germanString(id);
    if (german == nullptr) {
        return {};
    }
    return QString::fromUtf8(german).toLatin1().toStdString();
}

std::string systemError(const std::string& what, int err) {
    return what + ": " + std::strerror(err);
}

// Takes a flock on fd, waiting a bounded time while another process holds it.
bool lockWithRetries(int fd, int operation) {
    for (int attempt = 0;; ++attempt) {
        if (::flock(fd, operation | LOCK_NB) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK || attempt >= CIniEx::kLockRetries) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(CIniEx::kLockRetryDelayMs));
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a new, uniquely named file next to the target. Created with mode 0666, so a new
// configuration file gets the permissions the user's umask gives any new file.
int openTemporary(const fs::path& folder, const std::string& name, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%08x", static_cast<long>(::getpid()),
                      counter.fetch_add(1), static_cast<unsigned>(random()));
        tempPath = (folder / ("." + name + suffix)).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

} // namespace

CIniEx::~CIniEx() {
    close();
}

void CIniEx::setError(const std::string& text) {
    errorText_ = text.substr(0, kMaxErrorText);
}

bool CIniEx::namesEqual(std::string_view a, std::string_view b) const {
    return ignoreCase_ ? equalIgnoringCase(a, b) : a == b;
}

bool CIniEx::open(const std::string& path, bool writeOnClose, bool createIfMissing, bool ignoreCase,
                  bool backupOnWrite) {
    if (!path_.empty() && !sections_.empty() && writeOnClose_) {
        const bool backup = backupOnWrite_;
        backupOnWrite_ = false;
        writeFile();
        backupOnWrite_ = backup;
    }
    sections_.clear();
    path_ = path;
    ignoreCase_ = ignoreCase;
    writeOnClose_ = writeOnClose;
    backupOnWrite_ = backupOnWrite;
    backupName_.clear();
    modified_ = false;
    writeFailed_ = false;
    errorText_.clear();
    if (!readWholeFile(path, createIfMissing)) {
        // Nothing read means nothing to write back either: a document that could not be read
        // must never replace the file it failed to read.
        path_.clear();
        return false;
    }
    return true;
}

bool CIniEx::readWholeFile(const std::string& path, bool createIfMissing) {
    // Non-blocking, so a named pipe put in place of a file cannot hang the program; only
    // regular files are read.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0 && errno == ENOENT && createIfMissing) {
        // Created, never truncated: O_EXCL loses against a file that appeared meanwhile, which
        // is then simply read.
        fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0 && errno == EEXIST) {
            fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        }
    }
    if (fd.get() < 0) {
        setError(systemError(path, errno));
        return false;
    }
    if (!lockWithRetries(fd.get(), LOCK_SH)) {
        setError(systemError(path, errno == EWOULDBLOCK ? EBUSY : errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        setError(systemError(path, errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(systemError(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        setError(systemError(path, EFBIG));
        return false;
    }

    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            setError(systemError(path, errno));
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileSize) {
            setError(systemError(path, EFBIG));
            return false;
        }
    }
    parse(text);
    return true;
}

void CIniEx::parse(std::string_view text) {
    sections_.clear();
    modified_ = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t newline = text.find('\n', pos);
        std::string_view line = text.substr(
            pos, newline == std::string_view::npos ? std::string_view::npos : newline - pos);
        pos = newline == std::string_view::npos ? text.size() : newline + 1;
        line = trimTrailing(line, " \t\r\n");

        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            CSection section;
            section.name = std::string(line.substr(1, line.size() - 2));
            sections_.push_back(std::move(section));
            continue;
        }
        if (sections_.empty()) {
            sections_.emplace_back(); // lines before the first header
        }
        CSection& current = sections_.back();
        if (isComment(line)) {
            current.keys.emplace_back(line);
            current.values.emplace_back();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current.keys.emplace_back(line);
            current.values.emplace_back();
        } else {
            current.keys.emplace_back(trimTrailing(line.substr(0, eq), " "));
            current.values.emplace_back(trimLeading(line.substr(eq + 1), " "));
        }
    }
}

void CIniEx::close() {
    if (!path_.empty() && writeOnClose_) {
        writeFile();
    }
    sections_.clear();
    path_.clear();
    modified_ = false;
}

const CSection* CIniEx::findSection(std::string_view name) const {
    for (const CSection& section : sections_) {
        if (namesEqual(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

CSection* CIniEx::findSection(std::string_view name) {
    return const_cast<CSection*>(std::as_const(*this).findSection(name));
}

int CIniEx::findKey(const CSection& section, std::string_view key, bool ignoreCase) {
    for (std::size_t i = section.keys.size(); i-- > 0;) {
        const std::string& candidate = section.keys[i];
        if (isComment(candidate)) {
            continue;
        }
        if (ignoreCase ? equalIgnoringCase(candidate, key) : candidate == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CIniEx::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

bool CIniEx::hasKey(std::string_view section, std::string_view key) const {
    const CSection* s = findSection(section);
    return s != nullptr && findKey(*s, key, ignoreCase_) >= 0;
}

std::string CIniEx::readString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
    const CSection* s = findSection(section);
    if (s != nullptr) {
        const int index = findKey(*s, key, ignoreCase_);
        if (index >= 0) {
            return s->values[static_cast<std::size_t>(index)];
        }
    }
    return std::string(defaultValue);
}

int CIniEx::parseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int CIniEx::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    const CSection* s = findSection(section);
    if (s != nullptr) {
        const int index = findKey(*s, key, ignoreCase_);
        if (index >= 0) {
            return parseLeadingInt(s->values[static_cast<std::size_t>(index)]);
        }
    }
    return defaultValue;
}

void CIniEx::writeString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cleanValue = singleLine(value);
    CSection* s = findSection(section);
    if (s == nullptr) {
        CSection added;
        added.name = singleLine(section);
        sections_.push_back(std::move(added));
        s = &sections_.back();
        modified_ = true;
    }
    const int index = findKey(*s, key, ignoreCase_);
    if (index < 0) {
        s->keys.push_back(singleLine(key));
        s->values.push_back(cleanValue);
        modified_ = true;
        return;
    }
    std::string& old = s->values[static_cast<std::size_t>(index)];
    if (!namesEqual(old, cleanValue)) {
        modified_ = true;
    }
    old = cleanValue;
}

void CIniEx::writeInt(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

std::string CIniEx::readString(int sectionId, int keyId, std::string_view defaultValue) const {
    return readString(latin1FromStringId(sectionId), latin1FromStringId(keyId), defaultValue);
}

int CIniEx::readInt(int sectionId, int keyId, int defaultValue) const {
    return readInt(latin1FromStringId(sectionId), latin1FromStringId(keyId), defaultValue);
}

void CIniEx::writeString(int sectionId, int keyId, std::string_view value) {
    writeString(latin1FromStringId(sectionId), latin1FromStringId(keyId), value);
}

void CIniEx::writeInt(int sectionId, int keyId, int value) {
    writeInt(latin1FromStringId(sectionId), latin1FromStringId(keyId), value);
}

std::string CIniEx::toText() const {
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const CSection& section = sections_[i];
        // Only the nameless part before the first header goes without one; a later "[]"
        // keeps its header so its lines do not slide into the section above.
        if (!section.name.empty() || i > 0) {
            out += '[';
            out += section.name;
            out += "]\r\n";
        }
        for (std::size_t k = 0; k < section.keys.size(); ++k) {
            const std::string& key = section.keys[k];
            out += key;
            if (!isComment(key)) {
                // A line without key but with a value keeps its "=": written bare, the value
                // would turn into a key the next time the file is read.
                if (!key.empty() || !section.values[k].empty()) {
                    out += '=';
                }
                out += section.values[k];
            }
            out += "\r\n";
        }
    }
    return out;
}

std::string CIniEx::chooseBackupName() const {
    const fs::path file(path_);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::string stem = file.stem().string();
    int highest = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, stem.size(), stem) != 0) {
            continue;
        }
        const std::string lastThree = name.size() >= 3 ? name.substr(name.size() - 3) : name;
        highest = std::max(highest, parseLeadingInt(lastThree));
    }
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%.3d", highest + 1);
    return path_ + suffix;
}

std::string CIniEx::write() {
    if (!writeFile() || !backupOnWrite_) {
        return {};
    }
    return backupName_;
}

bool CIniEx::writeFile() {
    writeFailed_ = false;
    if (!modified_) {
        return false;
    }
    if (path_.empty()) {
        writeFailed_ = true;
        setError("No file is bound to the document");
        return false;
    }

    std::error_code ec;
    fs::path target(path_);
    if (fs::is_symlink(target, ec)) {
        // Replace the file the link points to, not the link itself.
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) {
            target = resolved;
        }
    }
    const std::string targetName = target.string();
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    // Hold the original locked while it is replaced, so a reader in another process sees the
    // old or the new file whole.
    FileDescriptor original(::open(targetName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    bool keepMode = false;
    mode_t mode = 0;
    if (original.get() >= 0) {
        if (!lockWithRetries(original.get(), LOCK_EX)) {
            writeFailed_ = true;
            setError(systemError(targetName, errno == EWOULDBLOCK ? EBUSY : errno));
            return false;
        }
        if (::fstat(original.get(), &st) == 0) {
            mode = st.st_mode & 07777;
            keepMode = true;
        }
        // Replacing the file by renaming would get round its write protection; a file the user
        // may not write stays as it is.
        if (::access(targetName.c_str(), W_OK) != 0) {
            writeFailed_ = true;
            setError(systemError(targetName, errno));
            return false;
        }
    }

    if (backupOnWrite_) {
        if (backupName_.empty()) {
            backupName_ = chooseBackupName();
        }
        if (original.get() >= 0) {
            fs::copy_file(target, backupName_, fs::copy_options::overwrite_existing, ec);
            if (ec) {
                writeFailed_ = true;
                setError(backupName_ + ": " + ec.message());
                return false;
            }
        }
    }

    std::string temp;
    FileDescriptor out(openTemporary(folder, target.filename().string(), temp));
    if (out.get() < 0) {
        writeFailed_ = true;
        setError(systemError(targetName, errno));
        return false;
    }
    if (keepMode && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keep the owner of the file being replaced where we may (as root, or the group of a
        // user's own file); otherwise the new file is ours, as a copy would be.
        [[maybe_unused]] const int ignored = ::fchown(out.get(), st.st_uid, st.st_gid);
    }
    const std::string text = toText();
    bool ok = writeAll(out.get(), text) && (!keepMode || ::fchmod(out.get(), mode) == 0) &&
              ::fsync(out.get()) == 0;
    int err = errno;
    if (ok && ::close(out.release()) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), targetName.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        out.reset();
        ::unlink(temp.c_str());
        writeFailed_ = true;
        setError(systemError(targetName, err));
        return false;
    }
    // Make the rename itself durable; a failure here no longer endangers the data.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    modified_ = false;
    return true;
}

} // namespace veltra
