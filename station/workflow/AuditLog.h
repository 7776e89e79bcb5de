// The production station's audit log: one JSON object per line (JSON Lines), one line per
// reader, appended and flushed to the disk as soon as the reader is finished, so that a crash
// loses at most the reader in progress. The writer is our own and escapes everything a reader or
// a file can put into a text (control characters, quotes, line breaks, invalid UTF-8), so the
// log stays valid whatever it records.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace veltra {

struct AuditRecord {
    std::string time;     // when the reader was finished, ISO 8601 in UTC
    std::string port;     // the interface the reader was on
    std::string model;    // the library's model name
    std::string typeCode; // the type code as the reader sent it, e.g. "244"
    std::string firmware; // "FW V1.xx"
    std::string file;     // the .mkr file's name
    std::string fileSha256;
    bool ok = false;
    std::string step;                     // the failing step (empty when ok)
    std::string message;                  // its message (empty when ok)
    std::vector<std::string> differences; // what the verification found different
    double seconds = 0;
};

// A JSON string literal of `text`, quotes included. Valid UTF-8 is kept; every byte that is
// not part of a valid UTF-8 sequence becomes U+FFFD; control characters, quotes, backslashes
// and the line separators U+2028/U+2029 are escaped, so the result is one line of ASCII and
// valid UTF-8.
std::string jsonString(std::string_view text);

// One record as a JSON object on one line, ended by '\n'.
std::string auditLine(const AuditRecord& record);

class AuditLog {
public:
    AuditLog() = default;
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    // Opens (creates) the file for appending; false with error() when it cannot be opened.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

    // Appends one line and flushes it to the disk. Safe to call from several threads: lines
    // never interleave. False when the line could not be written whole.
    bool append(const AuditRecord& record);

private:
    std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

} // namespace veltra
