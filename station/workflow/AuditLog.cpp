#include "station/workflow/AuditLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace veltra {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when the bytes there are not one
// (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void appendNumber(std::string& out, double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value >= 0 && value < 1e12 ? value : 0.0);
    out += buffer;
}

void appendField(std::string& out, const char* name, std::string_view value) {
    out += '"';
    out += name;
    out += "\":";
    out += jsonString(value);
    out += ',';
}

} // namespace

std::string jsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                } else {
                    out += static_cast<char>(c);
                }
                break;
            }
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        // U+2028 and U+2029 are line breaks to some readers of JSON Lines.
        if (length == 3 && c == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
             static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    out += '"';
    return out;
}

std::string auditLine(const AuditRecord& r) {
    std::string out = "{";
    appendField(out, "time", r.time);
    appendField(out, "port", r.port);
    appendField(out, "model", r.model);
    appendField(out, "type", r.typeCode);
    appendField(out, "firmware", r.firmware);
    appendField(out, "file", r.file);
    appendField(out, "sha256", r.fileSha256);
    appendField(out, "result", r.ok ? "ok" : "failed");
    appendField(out, "step", r.step);
    appendField(out, "message", r.message);
    out += "\"differences\":[";
    for (std::size_t i = 0; i < r.differences.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += jsonString(r.differences[i]);
    }
    out += "],\"seconds\":";
    appendNumber(out, r.seconds);
    out += "}\n";
    return out;
}

AuditLog::~AuditLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool AuditLog::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) {
        ::close(fd_);
    }
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    error_.clear();
    return true;
}

bool AuditLog::append(const AuditRecord& record) {
    const std::string line = auditLine(record);
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    // On the disk before the next reader starts.
    if (::fdatasync(fd_) != 0 && errno != EINVAL) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace veltra
