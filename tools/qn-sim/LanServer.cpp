#include "tools/qn-sim/LanServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qnsim {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes 24 and 25 of the identity answer, which the set-IP-address message must repeat.
constexpr std::uint8_t kIdentity24 = 0x5A;
constexpr std::uint8_t kIdentity25 = 0x17;
constexpr std::size_t kTypeTextOffset = 93;
constexpr std::size_t kBlock3NameTail = 102;

std::string dotted(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{address};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

int udpSocket(std::uint32_t address, std::uint16_t port, bool pktInfo) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    (void)::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (pktInfo) {
        (void)::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void log(const std::string& text) {
    std::fprintf(stderr, "lan: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string hex(std::uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

} // namespace

std::optional<LanFault> parseLanFault(const std::string& name) {
    if (name == "silent") {
        return LanFault::Silent;
    }
    if (name == "short") {
        return LanFault::Short;
    }
    if (name == "other-address") {
        return LanFault::OtherAddress;
    }
    return std::nullopt;
}

LanServer::LanServer(ReaderModel& model, LanOptions options)
    : model_(model), options_(std::move(options)),
      responder_(model, options_.busAddress, options_.readerFaults) {
    for (std::size_t n = 0; n < blocks_.size(); ++n) {
        blocks_[n].assign(n == 0 ? kBlock0Size : kBlockSize, 0);
        for (std::size_t i = 0; i < blocks_[n].size(); ++i) {
            // Bytes the module keeps for itself; they must come back unchanged.
            blocks_[n][i] = static_cast<std::uint8_t>(0x40 + ((n * 7 + i) % 23));
        }
    }
    auto& b0 = blocks_[0];
    std::fill(b0.begin(), b0.begin() + 28, 0);
    std::fill(b0.begin() + 84, b0.begin() + 92, 0);
    std::fill(b0.begin() + 112, b0.begin() + 120, 0);
    b0[6] = static_cast<std::uint8_t>(options_.hostBits);
    in_addr gw{};
    if (!options_.gateway.empty() && inet_pton(AF_INET, options_.gateway.c_str(), &gw) == 1) {
        std::memcpy(b0.data() + 12, &gw.s_addr, 4);
    }
    b0[20] = static_cast<std::uint8_t>(options_.tcpPort & 0xFF);
    b0[21] = static_cast<std::uint8_t>(options_.tcpPort >> 8);
    char name[16] = {};
    std::memcpy(name, options_.name.data(), std::min<std::size_t>(options_.name.size(), 16));
    std::memcpy(b0.data() + 112, name, 8);
    std::memcpy(b0.data() + 84, name + 8, 8);
    std::memcpy(blocks_[3].data() + kBlock3NameTail, name + 8, 8);
    auto& b2 = blocks_[2];
    std::fill(b2.begin() + kTypeTextOffset, b2.end(), 0);
    std::memcpy(b2.data() + kTypeTextOffset, options_.typeText.data(),
                std::min(options_.typeText.size(), kBlockSize - kTypeTextOffset));
}

LanServer::~LanServer() {
    for (int fd : {udp_, broadcast_, replyFrom_, listener_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    for (auto& c : clients_) {
        ::close(c.fd);
    }
}

bool LanServer::bindAddress(std::uint32_t address, std::string* error) {
    const int udp = udpSocket(address, kConfigPort, false);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(options_.tcpPort));
    local.sin_addr.s_addr = address;
    const int on = 1;
    if (listener >= 0) {
        (void)::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (udp < 0 || listener < 0 ||
        ::bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener, 4) != 0) {
        *error = "cannot listen at " + dotted(address) + ": " + std::strerror(errno);
        for (int fd : {udp, listener}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return false;
    }
    for (int fd : {udp_, listener_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    udp_ = udp;
    listener_ = listener;
    address_ = address;
    return true;
}

bool LanServer::open(std::string* error) {
    in_addr a{};
    if (inet_pton(AF_INET, options_.address.c_str(), &a) != 1) {
        *error = "--lan needs a dotted IPv4 address";
        return false;
    }
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0 || !bindAddress(a.s_addr, error)) {
        return false;
    }
    broadcast_ = udpSocket(INADDR_ANY, kConfigPort, true);
    if (broadcast_ < 0) {
        *error = std::string("cannot take broadcasts: ") + std::strerror(errno);
        return false;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && i->ifa_broadaddr) {
                broadcastAddresses_.push_back(
                    reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
            }
        }
        freeifaddrs(list);
    }
    if (options_.fault == LanFault::OtherAddress) {
        in_addr other{};
        if (inet_pton(AF_INET, options_.replyFrom.c_str(), &other) != 1 ||
            (replyFrom_ = udpSocket(other.s_addr, 0, false)) < 0) {
            *error = "--lan-reply-from needs an address of this host";
            return false;
        }
    }
    if (!options_.dhcp) {
        std::memcpy(blocks_[0].data(), &address_, 4);
    }
    return true;
}

std::string LanServer::portName() const {
    return dotted(address_) + "-" + std::to_string(options_.tcpPort);
}

void LanServer::requestStop() {
    const char c = 1;
    (void)::write(stopPipe_[1], &c, 1);
}

std::vector<std::uint8_t> LanServer::answer(const std::vector<std::uint8_t>& d,
                                            std::optional<std::uint32_t>* moveTo) {
    if (d.size() < 4) {
        return {};
    }
    const std::uint8_t type = d[3];
    auto reply = [](std::uint8_t t, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> out{0x00, 0x00, 0x00, t};
        out.insert(out.end(), data.begin(), data.end());
        return out;
    };
    if (d[1] == 0x01 && type == 0xF8 && d.size() == 4) {
        return reply(0xF9, blocks_[0]);
    }
    if (d[1] == 0x01 && type > 0xE0 && type <= 0xEF && d.size() == 4) {
        return reply(static_cast<std::uint8_t>(type - 0x10), blocks_[type - 0xE0]);
    }
    if (d[1] == 0x01 && type == 0xF6) {
        std::vector<std::uint8_t> identity(30, 0);
        const char* text = "QNSIM-MODULE";
        std::memcpy(identity.data(), text, std::strlen(text));
        identity[24] = kIdentity24;
        identity[25] = kIdentity25;
        return reply(0xF7, identity);
    }
    if (d[1] == 0x00 && type == 0xFD && d.size() >= 4 + kBlock0Size) {
        blocks_[0].assign(d.begin() + 4, d.begin() + 4 + kBlock0Size);
        log("wrote block 0");
        return reply(0xFB, {});
    }
    if (d[1] == 0x01 && type > 0xC0 && type <= 0xCF) {
        const std::size_t n = type - 0xC0U;
        if (d.size() < 4 + blocks_[n].size()) {
            return {};
        }
        std::copy(d.begin() + 4, d.begin() + 4 + static_cast<std::ptrdiff_t>(blocks_[n].size()),
                  blocks_[n].begin());
        log("wrote block " + std::to_string(n));
        return reply(static_cast<std::uint8_t>(0xB0 + n), {});
    }
    if (d[1] == 0x00 && type == 0xFC && d.size() >= 20 &&
        std::memcmp(d.data() + 4, "IP-SETUP", 8) == 0) {
        if (d[14] != kIdentity24 || d[15] != kIdentity25) {
            log("set address with wrong identity bytes ignored");
            return {};
        }
        std::uint32_t address = 0;
        std::memcpy(&address, d.data() + 16, 4);
        log("set address " + dotted(address));
        *moveTo = address;
        return {};
    }
    if (d.size() == 6 && type == 0x03 && d[4] == 0x58 && d[5] == 0x33) {
        log("closing message");
    }
    return {};
}

void LanServer::moveTo(std::uint32_t address) {
    if (address == 0) {
        // DHCP: the module keeps answering where it is, with 0.0.0.0 in block 0.
        std::memset(blocks_[0].data(), 0, 4);
        log("now without a fixed address, at " + dotted(address_));
        return;
    }
    std::string error;
    if (!bindAddress(address, &error)) {
        log(error);
        return;
    }
    std::memcpy(blocks_[0].data(), &address, 4);
    log("now at " + dotted(address));
}

void LanServer::onDatagram(int fd, bool broadcastSocket) {
    std::uint8_t buffer[2048];
    sockaddr_in from{};
    iovec io{buffer, sizeof buffer};
    alignas(cmsghdr) char control[128];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &msg, 0);
    if (n < 0) {
        return;
    }
    if (broadcastSocket) {
        // This socket sees every datagram to the port; only broadcasts are meant for it.
        std::uint32_t destination = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = info.ipi_addr.s_addr;
            }
        }
        if (destination != INADDR_BROADCAST &&
            std::find(broadcastAddresses_.begin(), broadcastAddresses_.end(), destination) ==
                broadcastAddresses_.end()) {
            return;
        }
    }
    const std::vector<std::uint8_t> datagram(buffer, buffer + n);
    if (!datagram.empty()) {
        log(std::string(broadcastSocket ? "broadcast " : "datagram ") +
            hex(datagram.size() > 3 ? datagram[3] : 0) + " from " + dotted(from.sin_addr.s_addr));
    }
    std::optional<std::uint32_t> move;
    std::vector<std::uint8_t> out = answer(datagram, &move);
    if (move) {
        pendingMove_ =
            std::make_pair(Clock::now() + std::chrono::milliseconds(options_.moveDelayMs), *move);
    }
    if (out.empty() || options_.fault == LanFault::Silent) {
        return;
    }
    if (options_.fault == LanFault::Short) {
        out.resize(std::min(out.size(), 4 + kShortAnswer));
    }
    const int via = options_.fault == LanFault::OtherAddress ? replyFrom_ : udp_;
    (void)::sendto(via, out.data(), out.size(), 0, reinterpret_cast<const sockaddr*>(&from),
                   sizeof from);
}

void LanServer::onClientInput(Client& client) {
    std::uint8_t buffer[1024];
    const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        ::close(client.fd);
        client.fd = -1;
        return;
    }
    client.scanner.feed(buffer, static_cast<std::size_t>(n));
    client.lastInput = Clock::now();
    answerFrames(client, false);
}

// As on the reader's serial line behind the module: a frame start that is still incomplete
// after the idle gap is given up, so that a request behind it is answered.
void LanServer::answerFrames(Client& client, bool lineIdle) {
    while (auto request = client.scanner.next(lineIdle)) {
        if (!responder_.addressedToMe(request->address)) {
            continue;
        }
        for (const auto& piece : responder_.answer(*request)) {
            if (piece.pauseBefore.count() > 0) {
                std::this_thread::sleep_for(piece.pauseBefore);
            }
            (void)::send(client.fd, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL);
        }
    }
}

bool LanServer::run(std::string* error) {
    for (;;) {
        std::vector<pollfd> fds{{stopPipe_[0], POLLIN, 0},
                                {udp_, POLLIN, 0},
                                {broadcast_, POLLIN, 0},
                                {listener_, POLLIN, 0}};
        for (const auto& c : clients_) {
            fds.push_back({c.fd, POLLIN, 0});
        }
        int timeout = -1;
        if (pendingMove_) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(pendingMove_->first - Clock::now());
            timeout = static_cast<int>(std::max<long>(0, left.count()));
        }
        for (const auto& c : clients_) {
            if (c.scanner.pending() > 0) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    c.lastInput + kIdleGap - Clock::now());
                const int ms = static_cast<int>(std::max<long>(0, left.count()));
                timeout = timeout < 0 ? ms : std::min(timeout, ms);
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            *error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (fds[0].revents != 0) {
            return true;
        }
        if (pendingMove_ && Clock::now() >= pendingMove_->first) {
            const std::uint32_t target = pendingMove_->second;
            pendingMove_.reset();
            moveTo(target);
            continue; // the descriptors changed
        }
        if (fds[1].revents & POLLIN) {
            onDatagram(udp_, false);
        }
        if (fds[2].revents & POLLIN) {
            onDatagram(broadcast_, true);
        }
        if (fds[3].revents & POLLIN) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                const int on = 1;
                (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                clients_.push_back({fd, FrameScanner(options_.acceptStx, options_.acceptCrc)});
            }
        }
        for (std::size_t i = 4; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                onClientInput(clients_[i - 4]);
            }
        }
        for (auto& c : clients_) {
            if (c.fd >= 0 && c.scanner.pending() > 0 && Clock::now() - c.lastInput >= kIdleGap) {
                answerFrames(c, true);
            }
        }
        std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
    }
}

} // namespace qnsim
