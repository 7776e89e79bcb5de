#include "devicelink/tcp/TCPSocketThread.h"

#include "devicelink/PortName.h"
#include "devicelink/tcp/ConfigAccess.h"
#include "devicelink/tcp/ModuleProtocol.h"
#include "devicelink/tcp/NetworkAdapter.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;

bool waitWritable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
        r = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

} // namespace

std::unique_ptr<CTCPSocketThread> CTCPSocketThread::open(std::uint32_t host, int port,
                                                         std::uint32_t localAddress,
                                                         ReceiveQueue& sink) {
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        return nullptr;
    }
    std::unique_ptr<CTCPSocketThread> link(
        new CTCPSocketThread(host, port, localAddress, sink, wakeFd));
    link->thread_ = std::thread([p = link.get()] { p->run(); });
    std::unique_lock lock(link->mutex_);
    link->startedChanged_.wait(lock, [&] { return link->started_; });
    lock.unlock();
    if (!link->connected()) {
        link->close();
        return nullptr;
    }
    return link;
}

CTCPSocketThread::CTCPSocketThread(std::uint32_t host, int port, std::uint32_t localAddress,
                                   ReceiveQueue& sink, int wakeFd)
    : host_(host), port_(port), localAddress_(localAddress), hostText_(dottedAddress(host)),
      sink_(sink), wakeFd_(wakeFd) {}

CTCPSocketThread::~CTCPSocketThread() {
    close();
}

void CTCPSocketThread::wake() {
    const std::uint64_t one = 1;
    (void)::write(wakeFd_, &one, sizeof one);
}

int CTCPSocketThread::connectSocket(bool retries) {
    int fd = -1;
    for (int attempt = 0; attempt < (retries ? kBindAttempts : 1) && fd < 0; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(kBindPause);
        }
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            continue;
        }
        const int on = 1;
        (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = localAddress_;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        return -1;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port_));
    target.sin_addr.s_addr = host_;
    for (int attempt = 0; attempt <= (retries ? kAddressInUseRetries : 0); ++attempt) {
        int error = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                error = ETIMEDOUT;
                if (waitWritable(fd, kConnectTimeout)) {
                    socklen_t length = sizeof error;
                    (void)::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                }
            }
        }
        if (error == 0) {
            const int on = 1;
            (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return fd;
        }
        if (error != EADDRINUSE) {
            break;
        }
    }
    ::close(fd);
    return -1;
}

void CTCPSocketThread::disconnect() {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

bool CTCPSocketThread::write(const std::uint8_t* data, std::size_t size) {
    if (stop_) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        sendList_.emplace_back(data, data + size);
    }
    wake();
    return true;
}

void CTCPSocketThread::sendQueued() {
    for (;;) {
        std::vector<std::uint8_t> frame;
        {
            std::lock_guard lock(mutex_);
            if (sendList_.empty()) {
                return;
            }
            frame = std::move(sendList_.front());
            sendList_.pop_front();
        }
        if (fd_ < 0) {
            fd_ = connectSocket(false); // the reader closed the connection: connect again
            if (fd_ < 0) {
                continue; // the frame is lost; its exchange times out
            }
        }
        std::size_t sent = 0;
        while (sent < frame.size()) {
            const ssize_t n = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                       waitWritable(fd_, kConnectTimeout)) {
                continue;
            } else {
                disconnect();
                break;
            }
        }
    }
}

void CTCPSocketThread::run() {
    fd_ = connectSocket(true);
    {
        std::lock_guard lock(mutex_);
        started_ = true;
    }
    startedChanged_.notify_all();
    if (fd_ < 0) {
        return;
    }
    while (!stop_) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_.load(), POLLIN, 0}};
        const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (stop_) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t value = 0;
            (void)::read(wakeFd_, &value, sizeof value);
            sendQueued();
        }
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::uint8_t buffer[kReadSize];
            const ssize_t n = ::recv(fds[1].fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                sink_.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                disconnect(); // the reader closed; the next frame connects again
            }
        }
    }
    disconnect();
}

void CTCPSocketThread::close() {
    stop_ = true;
    if (thread_.joinable()) {
        wake();
        thread_.join();
    }
    disconnect();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

std::unique_ptr<Link> openTcpLink(const std::string& name, ReceiveQueue& sink) {
    const std::string resolved = resolveModuleName(name);
    if (resolved.empty()) {
        return nullptr;
    }
    const PortName target = parsePortName(resolved);
    const auto host = parseDottedAddress(withoutPort(resolved));
    if (!host) {
        return nullptr;
    }
    const std::uint32_t local = localAddressFor(*host, listNetworkAdapters());
    return CTCPSocketThread::open(*host, target.tcpPort, local, sink);
}

} // namespace qnlink
