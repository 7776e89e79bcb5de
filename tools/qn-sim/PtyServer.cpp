#include "tools/qn-sim/PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace qnsim {

namespace {

std::optional<speed_t> speedFor(int baud) {
    switch (baud) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return std::nullopt; // no such speed on a pty (1382400): nothing ever matches it
    }
}

void applyLine(termios* t, int line) {
    t->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    t->c_cflag |= CS8 | CREAD | CLOCAL;
    if (line == 1) {
        t->c_cflag |= PARENB;
    } else if (line == 2) {
        t->c_cflag |= PARENB | PARODD;
    } else if (line == 3) {
        t->c_cflag |= CSTOPB;
    }
}

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyServer::PtyServer(ReaderModel& model, ServerOptions options)
    : model_(model), options_(std::move(options)), scanner_(options_.acceptStx, options_.acceptCrc),
      responder_(model, options_.address, options_.faults) {}

PtyServer::~PtyServer() {
    for (int fd : {master_, slave_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool PtyServer::open(std::string* error) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = errnoText("pipe");
        return false;
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = errnoText("posix_openpt");
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        *error = errnoText("ptsname");
        return false;
    }
    slavePath_ = name;
    // The simulator keeps the slave open itself, so the master never sees a hang-up when a
    // client closes the port and opens it again later.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        *error = errnoText("open slave");
        return false;
    }
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) {
        *error = errnoText("tcgetattr");
        return false;
    }
    ::cfmakeraw(&t);
    applyLine(&t, model_.line());
    if (auto speed = speedFor(model_.baud())) {
        ::cfsetispeed(&t, *speed);
        ::cfsetospeed(&t, *speed);
    }
    if (::tcsetattr(slave_, TCSANOW, &t) != 0) {
        *error = errnoText("tcsetattr");
        return false;
    }
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = errnoText("fcntl");
        return false;
    }
    return true;
}

void PtyServer::requestStop() {
    const char c = 'q';
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &c, 1);
}

bool PtyServer::lineMatches() const {
    // On Linux the master reports the termios of the slave, i.e. what the client set.
    termios t{};
    if (::tcgetattr(master_, &t) != 0) {
        return false;
    }
    const auto speed = speedFor(model_.baud());
    if (!speed || ::cfgetospeed(&t) != *speed) {
        return false;
    }
    const speed_t in = ::cfgetispeed(&t);
    if (in != 0 && in != *speed) {
        return false;
    }
    if ((t.c_cflag & CSIZE) != CS8) {
        return false;
    }
    // The pty driver clears PARENB on every termios change, so a client's even parity looks
    // like no parity here. PARODD and CSTOPB come through, which still tells odd parity and
    // two stop bits apart; where PARENB is visible, it is checked as well.
    const bool parityShown = (t.c_cflag & PARENB) != 0;
    const bool odd = (t.c_cflag & PARODD) != 0;
    const bool twoStop = (t.c_cflag & CSTOPB) != 0;
    switch (model_.line()) {
    case 0:
        return !parityShown && !odd && !twoStop;
    case 1:
        return !odd && !twoStop;
    case 2:
        return odd && !twoStop;
    case 3:
        return !parityShown && !odd && twoStop;
    default:
        return false;
    }
}

std::chrono::nanoseconds PtyServer::bytePeriod() const {
    if (!options_.pace || model_.baud() <= 0) {
        return {};
    }
    return std::chrono::nanoseconds(10'000'000'000LL / model_.baud());
}

void PtyServer::queue(const Bytes& bytes, std::chrono::nanoseconds period,
                      std::chrono::milliseconds pauseBefore) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out_.push_back({bytes[i], period, i == 0 ? pauseBefore : std::chrono::milliseconds{}});
    }
}

void PtyServer::sendTelegram() {
    // Telegrams nobody reads are not piled up without end, and a client at another line
    // setting would receive only noise, so it gets nothing.
    if (out_.size() > 8192 || !lineMatches()) {
        return;
    }
    queue(Bytes(options_.telegram.begin(), options_.telegram.end()), bytePeriod());
}

void PtyServer::respond(const Request& request) {
    // The reply goes out at the rate the request came in at, also when the request changes it.
    const auto period = bytePeriod();
    for (const ReplyPiece& piece : responder_.answer(request)) {
        queue(piece.bytes, period, piece.pauseBefore);
    }
}

void PtyServer::processFrames(bool idle) {
    while (auto request = scanner_.next(idle)) {
        if (responder_.addressedToMe(request->address)) {
            respond(*request);
        }
    }
}

void PtyServer::onInput(const std::uint8_t* data, std::size_t size, Clock::time_point now) {
    lastInput_ = now;
    // A client at another speed or line format would only produce noise at the reader.
    if (!lineMatches()) {
        scanner_.clear();
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        const bool mayStartFrame =
            (options_.acceptStx && b == kStx) || (options_.acceptCrc && b == options_.address);
        if (scanner_.pending() == 0 && !mayStartFrame && model_.isReaderModeInput(b)) {
            if (model_.readerModeByte(b) == ReaderModel::Input::Prompt) {
                sendTelegram();
            }
            continue;
        }
        scanner_.feed(&b, 1);
        processFrames(false);
    }
}

bool PtyServer::flushOutput(Clock::time_point now, std::string* error) {
    while (!out_.empty()) {
        OutByte& front = out_.front();
        if (front.pauseBefore.count() > 0) {
            nextWrite_ = std::max(nextWrite_, now) + front.pauseBefore;
            front.pauseBefore = {};
        }
        if (now < nextWrite_) {
            return true;
        }
        // Unpaced bytes go out together up to the next pause; paced ones one at a time.
        std::size_t count = 1;
        if (front.period.count() == 0) {
            while (count < out_.size() && count < 512 && out_[count].period.count() == 0 &&
                   out_[count].pauseBefore.count() == 0) {
                ++count;
            }
        }
        std::uint8_t chunk[512];
        for (std::size_t i = 0; i < count; ++i) {
            chunk[i] = out_[i].byte;
        }
        const ssize_t n = ::write(master_, chunk, count);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                return true; // the client is not reading; try again later
            }
            *error = errnoText("write");
            return false;
        }
        const auto period = front.period;
        out_.erase(out_.begin(), out_.begin() + n);
        if (period.count() > 0) {
            nextWrite_ = std::max(nextWrite_, now - period) + period * n;
        }
    }
    return true;
}

bool PtyServer::run(std::string* error) {
    lastInput_ = Clock::now();
    for (;;) {
        auto now = Clock::now();
        // Reader-mode telegrams.
        if (model_.mode() == 1 && options_.intervalMs > 0) {
            const auto interval = std::chrono::milliseconds(options_.intervalMs);
            if (!nextTelegram_) {
                nextTelegram_ = now + interval;
            } else if (now >= *nextTelegram_) {
                sendTelegram();
                nextTelegram_ = std::max(*nextTelegram_ + interval, now);
            }
        } else {
            nextTelegram_.reset();
        }
        if (scanner_.pending() > 0 && now - lastInput_ >= kIdleGap) {
            processFrames(true);
        }
        if (!flushOutput(now, error)) {
            return false;
        }

        // Sleep until the next thing is due; with nothing due, until a byte arrives.
        std::optional<Clock::time_point> wake;
        auto wakeAt = [&](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
        if (nextTelegram_) {
            wakeAt(*nextTelegram_);
        }
        if (scanner_.pending() > 0) {
            wakeAt(lastInput_ + kIdleGap);
        }
        bool waitWritable = false;
        if (!out_.empty()) {
            if (nextWrite_ > now || out_.front().pauseBefore.count() > 0) {
                wakeAt(std::max(nextWrite_, now));
            } else {
                waitWritable = true; // the last write did not get everything out
            }
        }
        int timeoutMs = -1;
        if (wake) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
            timeoutMs = static_cast<int>(std::clamp<long long>(ms, 0, 60000));
        }
        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
                         {stopPipe_[0], POLLIN, 0}};
        const int rc = ::poll(fds, 2, timeoutMs);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            *error = errnoText("poll");
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return true;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint8_t buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                onInput(buf, static_cast<std::size_t>(n), Clock::now());
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                *error = errnoText("read");
                return false;
            }
        } else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            // Cannot happen while the simulator holds the slave; avoid a busy loop if it does.
            ::usleep(10000);
        }
    }
}

} // namespace qnsim
