#include "devicelink/Ping.h"

#include "devicelink/PortName.h"
#include "devicelink/tcp/ConfigAccess.h"
#include "devicelink/tcp/DatagramSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<CPing::Method> g_lastMethod{CPing::Method::Automatic};
std::atomic<std::uint16_t> g_sequence{1};

std::uint16_t checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    }
    if (size % 2 != 0) {
        sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

// Waits for readability of fd until `until`, reporting progress to a registered wait callback.
bool waitReadable(int fd, Clock::time_point until, short events = POLLIN) {
    for (;;) {
        const auto now = Clock::now();
        if (now >= until) {
            return false;
        }
        const auto slice =
            LanWaitScope::active() ? std::min(until, now + std::chrono::milliseconds(10)) : until;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice - now).count();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(ms));
        if (r > 0) {
            return true;
        }
        if (r < 0 && errno != EINTR) {
            return false;
        }
        LanWaitScope::progress();
    }
}

// -1 when the socket kind is not permitted, else 0 / 1.
int icmpPing(std::uint32_t host, bool raw, std::chrono::milliseconds timeout) {
    const int fd = ::socket(AF_INET, (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            IPPROTO_ICMP);
    if (fd < 0) {
        return (errno == EACCES || errno == EPERM || errno == EPROTONOSUPPORT) ? -1 : 0;
    }
    const int ttl = CPing::kTimeToLive;
    const int tos = 0;
    const int dontFragment = IP_PMTUDISC_DO;
    (void)::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    (void)::setsockopt(fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos);
    (void)::setsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &dontFragment, sizeof dontFragment);

    const std::uint16_t id = static_cast<std::uint16_t>(::getpid());
    const std::uint16_t sequence = g_sequence++;
    std::uint8_t request[8 + CPing::kDataSize];
    request[0] = ICMP_ECHO;
    request[1] = 0;
    request[2] = request[3] = 0;
    request[4] = static_cast<std::uint8_t>(id >> 8);
    request[5] = static_cast<std::uint8_t>(id);
    request[6] = static_cast<std::uint8_t>(sequence >> 8);
    request[7] = static_cast<std::uint8_t>(sequence);
    std::memset(request + 8, CPing::kDataByte, CPing::kDataSize);
    const std::uint16_t sum = checksum(request, sizeof request);
    request[2] = static_cast<std::uint8_t>(sum >> 8);
    request[3] = static_cast<std::uint8_t>(sum);

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = host;
    if (::sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) != static_cast<ssize_t>(sizeof request)) {
        ::close(fd);
        return 0;
    }
    const auto until = Clock::now() + timeout;
    int result = 0;
    while (result == 0 && waitReadable(fd, until)) {
        std::uint8_t reply[1500];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n <= 0 || from.sin_addr.s_addr != host) {
            continue;
        }
        const std::uint8_t* icmp = reply;
        std::size_t size = static_cast<std::size_t>(n);
        if (raw) {
            // A raw socket hands over the IP header too.
            const std::size_t ipHeader = (reply[0] & 0x0F) * 4u;
            if (size < ipHeader) {
                continue;
            }
            icmp += ipHeader;
            size -= ipHeader;
        }
        if (size >= 1 && icmp[0] == ICMP_ECHO) {
            continue; // a raw socket also sees requests to this host
        }
        // The datagram socket's identifier is chosen by the kernel.
        if (CPing::isMatchingReply(icmp, size, id, sequence, raw)) {
            result = 1;
        } else if (size >= 8 && icmp[0] == ICMP_ECHOREPLY &&
                   ((icmp[6] << 8) | icmp[7]) == sequence) {
            break; // our reply, but with altered data: no answer
        }
    }
    ::close(fd);
    return result;
}

bool tcpConnectPing(std::uint32_t host, int port, std::chrono::milliseconds timeout) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    target.sin_addr.s_addr = host;
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        answered = true;
    } else if (errno == ECONNREFUSED) {
        answered = true;
    } else if (errno == EINPROGRESS && waitReadable(fd, Clock::now() + timeout, POLLOUT)) {
        int error = 0;
        socklen_t length = sizeof error;
        (void)::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        answered = error == 0 || error == ECONNREFUSED;
    }
    ::close(fd);
    return answered;
}

} // namespace

bool CPing::isMatchingReply(const std::uint8_t* icmp, std::size_t size, std::uint16_t id,
                            std::uint16_t sequence, bool checkId) {
    if (size != 8 + kDataSize || icmp[0] != ICMP_ECHOREPLY) {
        return false;
    }
    if (((icmp[6] << 8) | icmp[7]) != sequence || (checkId && ((icmp[4] << 8) | icmp[5]) != id)) {
        return false;
    }
    return std::all_of(icmp + 8, icmp + size, [](std::uint8_t b) { return b == kDataByte; });
}

CPing::Method CPing::lastMethod() {
    return g_lastMethod.load();
}

bool CPing::ping(std::uint32_t host, int tcpPort, Method method,
                 std::chrono::milliseconds timeout) {
    switch (method) {
    case Method::IcmpDatagram:
        return icmpPing(host, false, timeout) == 1;
    case Method::IcmpRaw:
        return icmpPing(host, true, timeout) == 1;
    case Method::TcpConnect:
        return tcpConnectPing(host, tcpPort, timeout);
    case Method::Automatic:
        break;
    }
    for (bool raw : {false, true}) {
        const int r = icmpPing(host, raw, timeout);
        if (r >= 0) {
            g_lastMethod = raw ? Method::IcmpRaw : Method::IcmpDatagram;
            return r == 1;
        }
    }
    g_lastMethod = Method::TcpConnect;
    return tcpConnectPing(host, tcpPort, timeout);
}

int pingLanDevice(const char* portName) {
    if (portName == nullptr) {
        return 0;
    }
    LanWaitScope wait;
    const std::string resolved = resolveModuleName(parsePortName(portName).name);
    if (resolved.empty()) {
        return 0;
    }
    const PortName parsed = parsePortName(resolved);
    const std::string host = withoutPort(resolved);
    std::uint32_t address = 0;
    if (const auto dotted = parseDottedAddress(host)) {
        address = *dotted;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* info = nullptr;
        if (::getaddrinfo(host.c_str(), nullptr, &hints, &info) != 0 || info == nullptr) {
            return 0;
        }
        address = reinterpret_cast<const sockaddr_in*>(info->ai_addr)->sin_addr.s_addr;
        ::freeaddrinfo(info);
    }
    return CPing::ping(address, parsed.tcpPort) ? 1 : 0;
}

} // namespace qnlink
