#include "devicelink/tcp/DatagramSocket.h"

#include "devicelink/RWPort.h"
#include "qnlink.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressPeriod = std::chrono::milliseconds(10);

struct ScopeState {
    int depth = 0;
    void (*callback)(int, void*) = nullptr;
    void* context = nullptr;
};
thread_local ScopeState t_scope;

} // namespace

LanWaitScope::LanWaitScope() {
    if (t_scope.depth++ == 0) {
        currentWaitCallback(t_scope.callback, t_scope.context);
        if (t_scope.callback) {
            t_scope.callback(QN_WAIT_BEGIN, t_scope.context);
        }
    }
}

LanWaitScope::~LanWaitScope() {
    if (--t_scope.depth == 0 && t_scope.callback) {
        t_scope.callback(QN_WAIT_END, t_scope.context);
        t_scope.callback = nullptr;
    }
}

bool LanWaitScope::active() {
    return t_scope.depth > 0 && t_scope.callback != nullptr;
}

void LanWaitScope::progress() {
    if (active()) {
        t_scope.callback(QN_WAIT_PROGRESS, t_scope.context);
    }
}

void lanPause(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
        const auto slice =
            LanWaitScope::active() ? std::min(until, Clock::now() + kProgressPeriod) : until;
        std::this_thread::sleep_until(slice);
        LanWaitScope::progress();
    }
}

std::unique_ptr<DatagramSocket> DatagramSocket::open(const NetworkAdapter& adapter) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return nullptr;
    }
    const int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = adapter.address;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return nullptr;
    }
    // Needs CAP_NET_RAW; without it the directed broadcast does the same job.
    const bool tied = ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, adapter.interfaceName.c_str(),
                                   static_cast<socklen_t>(adapter.interfaceName.size())) == 0;
    return std::unique_ptr<DatagramSocket>(new DatagramSocket(fd, adapter, tied));
}

DatagramSocket::~DatagramSocket() {
    ::close(fd_);
}

bool DatagramSocket::sendTo(std::uint32_t host, const Datagram& datagram) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kModuleConfigPort);
    target.sin_addr.s_addr = host;
    ssize_t n;
    do {
        n = ::sendto(fd_, datagram.data(), datagram.size(), 0,
                     reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(datagram.size());
}

bool DatagramSocket::sendBroadcast(const Datagram& datagram) {
    return sendTo(tied_ ? INADDR_BROADCAST : adapter_.directedBroadcast(), datagram);
}

std::optional<ReceivedDatagram> DatagramSocket::readOne() {
    for (;;) {
        std::uint8_t buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (from.sin_addr.s_addr == adapter_.address) {
            continue; // our own broadcast
        }
        return ReceivedDatagram{from.sin_addr.s_addr,
                                Datagram(buffer, buffer + static_cast<std::size_t>(n))};
    }
}

std::optional<ReceivedDatagram> DatagramSocket::receive(SteadyTime until) {
    auto got = receiveAny({this}, until);
    if (!got) {
        return std::nullopt;
    }
    return std::move(got->second);
}

std::optional<std::pair<std::size_t, ReceivedDatagram>>
receiveAny(const std::vector<DatagramSocket*>& sockets, SteadyTime until) {
    std::vector<pollfd> fds;
    for (auto* s : sockets) {
        fds.push_back({s->descriptor(), POLLIN, 0});
    }
    for (;;) {
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            if (auto d = sockets[i]->readOne()) {
                return std::make_pair(i, std::move(*d));
            }
        }
        const auto now = Clock::now();
        if (now >= until) {
            return std::nullopt;
        }
        const auto sliceEnd =
            LanWaitScope::active() ? std::min(until, now + kProgressPeriod) : until;
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(sliceEnd - now).count();
        const timespec timeout{static_cast<time_t>(left / 1'000'000'000),
                               static_cast<long>(left % 1'000'000'000)};
        const int r = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (r < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (r == 0) {
            LanWaitScope::progress();
        }
    }
}

} // namespace qnlink
