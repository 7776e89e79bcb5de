#include "keys/TraceLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace veltra {
namespace {

// Taken around the pieces of one text. flock alone cannot keep two threads of this process
// apart: they share the one open lock file, and a lock belongs to the open file.
std::mutex& traceMutex() {
    static std::mutex mutex;
    return mutex;
}

// The lock file, opened by the first trace that finds a viewer and kept open for the process
// (opened anew only if the trace folder changes); -1 when it cannot be opened (the texts are
// then kept apart within this process only). Called with the trace mutex held.
int lockFile() {
    static int fd = -1;
    static std::string openPath;
    const std::string path = traceLockPath();
    if (fd < 0 || path != openPath) {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        openPath = path;
    }
    return fd;
}

// Lock held for one text, released on every way out.
class TextLock {
public:
    TextLock() : guard_(traceMutex()), fd_(lockFile()) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~TextLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
        }
    }
    TextLock(const TextLock&) = delete;
    TextLock& operator=(const TextLock&) = delete;

private:
    std::lock_guard<std::mutex> guard_;
    int fd_;
};

class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool sendPiece(int fd, std::uint32_t piece) {
    unsigned char datagram[kTraceDatagramSize];
    encodeTraceDatagram(piece, datagram);
    for (;;) {
        const ssize_t sent = ::send(fd, datagram, sizeof datagram, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(sizeof datagram)) {
            return true;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

} // namespace

bool traceDirectoryIsPrivate(const std::string& directory) {
    struct stat st {};
    return ::lstat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string traceDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return runtime;
    }
    return "/tmp/ZemTracer-" + std::to_string(::getuid());
}

std::string traceSocketPath() {
    return traceDirectory() + "/ZemTracer";
}

std::string traceLockPath() {
    return traceDirectory() + "/ZemTracerLock";
}

void encodeTraceDatagram(std::uint32_t piece, unsigned char out[kTraceDatagramSize]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(kTraceMessageId >> (8 * i));
        out[4 + i] = static_cast<unsigned char>(piece >> (8 * i));
    }
}

bool decodeTraceDatagram(const unsigned char* data, std::size_t size, std::uint32_t& piece) {
    if (size != kTraceDatagramSize) {
        return false;
    }
    std::uint32_t id = 0;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        id = (id << 8) | data[i];
        value = (value << 8) | data[4 + i];
    }
    if (id != kTraceMessageId) {
        return false;
    }
    piece = value;
    return true;
}

int TraceWrite(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const std::string path = traceSocketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return 0; // a runtime folder this deep cannot hold a viewer's socket
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    // A folder that someone else could have put a socket into gets no texts.
    if (!traceDirectoryIsPrivate(traceDirectory())) {
        return 0;
    }
    // Looking for the viewer: a socket nobody listens on refuses the connect.
    Socket socket;
    if (socket.fd() < 0 ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return 0;
    }

    const std::size_t length = std::strlen(text);
    TextLock lock;
    for (std::size_t at = 0; at < length; at += 4) {
        std::uint32_t piece = 0;
        for (std::size_t i = 0; i < 4 && at + i < length; ++i) {
            piece |= std::uint32_t(static_cast<unsigned char>(text[at + i])) << (8 * i);
        }
        if (!sendPiece(socket.fd(), piece)) {
            return 0; // the viewer went away
        }
    }
    return 1;
}

void TracePrintf(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written < 0) {
        return;
    }
    TraceWrite(buffer);
}

std::uint64_t MicrosecondClock() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000000u + std::uint64_t(now.tv_nsec) / 1000u;
}

} // namespace veltra
