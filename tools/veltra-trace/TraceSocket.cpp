#include "tools/veltra-trace/TraceSocket.h"

#include "keys/TraceLog.h"
#include "tools/veltra-trace/TraceAssembler.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace veltra::trace {
namespace {

bool makeAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// True when a viewer is listening at the address.
bool someoneListens(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    const bool listening =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return listening;
}

} // namespace

TraceSocket::~TraceSocket() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
}

bool TraceSocket::open(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!makeAddress(path, address)) {
        error = "socket path is empty or too long: " + path;
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!traceDirectoryIsPrivate(folder)) {
        error = folder + " is not a folder of this user closed to others";
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " exists and is no socket";
            return false;
        }
        if (someoneListens(address)) {
            error = "another viewer listens on " + path;
            return false;
        }
        ::unlink(path.c_str());
    }
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot bind " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

bool TraceSocket::receive(std::uint32_t& piece, bool& skipped) {
    skipped = false;
    unsigned char datagram[64];
    for (;;) {
        const ssize_t size = ::recv(fd_, datagram, sizeof datagram, 0);
        if (size < 0 && errno == EINTR) {
            continue;
        }
        if (size < 0) {
            return false;
        }
        if (!decodeTraceDatagram(datagram, std::size_t(size), piece)) {
            skipped = true;
            return true;
        }
        return true;
    }
}

std::vector<std::string> receiveTexts(TraceSocket& socket, TraceAssembler& assembler) {
    std::vector<std::string> texts;
    std::uint32_t piece = 0;
    bool skipped = false;
    while (socket.receive(piece, skipped)) {
        if (skipped) {
            continue;
        }
        for (std::string& text : assembler.addPiece(piece)) {
            if (!text.empty()) {
                texts.push_back(std::move(text));
            }
        }
    }
    return texts;
}

} // namespace veltra::trace
