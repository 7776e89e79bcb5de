#include "devicelink/serial/TerminalDevice.h"

#include "devicelink/serial/USBSerialPort.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace qnlink {

namespace {

struct SpeedEntry {
    int rate;
    speed_t constant;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool standardSpeed(int rate, speed_t& out) {
    for (const auto& e : kSpeeds) {
        if (e.rate == rate) {
            out = e.constant;
            return true;
        }
    }
    return false;
}

} // namespace

bool configureTerminal(int fd, int baudRate, int lineFormat) {
    if (baudRate <= 0) {
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    switch (lineFormat) {
    case Line8E1:
        tio.c_cflag |= PARENB;
        break;
    case Line8O1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case Line8N2:
        tio.c_cflag |= CSTOPB;
        break;
    default:
        break; // 8N1, also for any value not named
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed{};
    const bool standard = standardSpeed(baudRate, speed);
    if (standard && cfsetspeed(&tio, speed) != 0) {
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        // A pseudo-terminal has no parity and drops PARENB; the C library reports that as
        // EINVAL although everything else was applied. Anything else is a real refusal.
        if (errno != EINVAL) {
            return false;
        }
        termios now{};
        if (tcgetattr(fd, &now) != 0 || (now.c_cflag & CSIZE) != CS8 ||
            (standard && cfgetospeed(&now) != speed)) {
            return false;
        }
    }
    return standard || setCustomBaudRate(fd, baudRate);
}

std::unique_ptr<TerminalDevice> TerminalDevice::open(const std::string& path, int baudRate,
                                                     int lineFormat) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // TIOCEXCL keeps other openers out, except root; the lock covers root as well.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !isatty(fd) || ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return nullptr;
    }
    if (!configureTerminal(fd, baudRate, lineFormat)) {
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return nullptr;
    }
    // DTR and RTS on. A pseudo-terminal has no modem lines; that is not an error.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &lines);
    tcflush(fd, TCIOFLUSH);
    // The modem lines as they are now. A pseudo-terminal has none (ENOTTY or EINVAL); any
    // other failure means the device is no longer there.
    int modemLines = 0;
    if (ioctl(fd, TIOCMGET, &modemLines) != 0) {
        if (errno != ENOTTY && errno != EINVAL) {
            ioctl(fd, TIOCNXCL);
            ::close(fd);
            return nullptr;
        }
        modemLines = -1;
    }

    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int epollFd = epoll_create1(EPOLL_CLOEXEC);
    epoll_event wakeEvent{EPOLLIN, {.fd = wakeFd}};
    epoll_event portEvent{EPOLLIN, {.fd = fd}};
    if (wakeFd < 0 || epollFd < 0 || epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &wakeEvent) != 0 ||
        epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &portEvent) != 0) {
        for (int open : {wakeFd, epollFd}) {
            if (open >= 0) {
                ::close(open);
            }
        }
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TerminalDevice>(new TerminalDevice(fd, wakeFd, epollFd, modemLines));
}

TerminalDevice::TerminalDevice(int fd, int wakeFd, int epollFd, int modemLines)
    : fd_(fd), wakeFd_(wakeFd), epollFd_(epollFd), modemLines_(modemLines) {}

TerminalDevice::~TerminalDevice() {
    close();
}

long TerminalDevice::read(std::uint8_t* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n >= 0) {
            // With VMIN = VTIME = 0 an empty terminal reads as 0 bytes, not as an end.
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        // A read error (EIO) means the device went away.
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

long TerminalDevice::write(const std::uint8_t* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(fd_, data, size);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool TerminalDevice::configure(int baudRate, int lineFormat) {
    return fd_ >= 0 && configureTerminal(fd_, baudRate, lineFormat);
}

void TerminalDevice::setInterest(bool input, bool room) {
    epoll_event event{(input ? EPOLLIN : 0U) | (room ? EPOLLOUT : 0U), {.fd = fd_}};
    // Takes effect also while the port thread sits in epoll_wait.
    (void)epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd_, &event);
}

PortDevice::Events TerminalDevice::wait() {
    std::array<epoll_event, 2> events{};
    Events seen;
    const int n = ::epoll_wait(epollFd_, events.data(), static_cast<int>(events.size()), -1);
    if (n < 0) {
        seen.ended = errno != EINTR;
        return seen;
    }
    std::uint32_t port = 0;
    for (int i = 0; i < n; ++i) {
        if (events[static_cast<std::size_t>(i)].data.fd == wakeFd_) {
            std::uint64_t count = 0;
            (void)::read(wakeFd_, &count, sizeof count);
            seen.woken = true;
        } else {
            port |= events[static_cast<std::size_t>(i)].events;
        }
    }
    seen.room = (port & EPOLLOUT) != 0;
    seen.input = (port & (EPOLLIN | EPOLLHUP)) != 0;
    // epoll reports a hang-up and an error also while a waiting thread has the input.
    seen.ended = (port & (EPOLLERR | EPOLLHUP)) != 0;
    return seen;
}

void TerminalDevice::wake() {
    const std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 wake-ups; a failed write means it is set.
    (void)::write(wakeFd_, &one, sizeof one);
}

PortDevice::Events TerminalDevice::awaitInput(std::chrono::steady_clock::time_point until) {
    Events seen;
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return seen;
    }
    const timespec timeout{static_cast<time_t>(left.count() / 1'000'000'000),
                           static_cast<long>(left.count() % 1'000'000'000)};
    pollfd port{fd_, POLLIN, 0};
    const int r = ::ppoll(&port, 1, &timeout, nullptr);
    if (r < 0) {
        seen.ended = errno != EINTR;
        return seen;
    }
    seen.input = (port.revents & (POLLIN | POLLHUP)) != 0;
    // After a hang-up the port stays readable for good; polling it again would spin.
    seen.ended = (port.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return seen;
}

void TerminalDevice::close() {
    if (epollFd_ >= 0) {
        ::close(epollFd_);
        epollFd_ = -1;
    }
    if (fd_ >= 0) {
        // The exclusive flag belongs to the terminal, not to this descriptor: clear it so the
        // port can be opened again while the device stays present.
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

} // namespace qnlink
