// A pty slave opened like a serial port, for talking raw bytes to the simulator. Framing is
// built here by hand, from the protocol description, without the simulator's or the device
// link's code.
#pragma once

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace rawport {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline std::uint16_t crc16(const Bytes& data) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

// 02 ADDR CMD LEN data BCC
inline Bytes stxFrame(std::uint8_t address, std::uint8_t cmd, const Bytes& data = {}) {
    Bytes f{0x02, address, cmd, static_cast<std::uint8_t>(data.size())};
    f.insert(f.end(), data.begin(), data.end());
    std::uint8_t bcc = 0;
    for (std::size_t i = 1; i < f.size(); ++i) {
        bcc ^= f[i];
    }
    f.push_back(bcc);
    return f;
}

// ADDR CMD LEN data CRClo CRChi
inline Bytes crcFrame(std::uint8_t address, std::uint8_t cmd, const Bytes& data = {}) {
    Bytes f{address, cmd, static_cast<std::uint8_t>(data.size())};
    f.insert(f.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(f);
    f.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
    return f;
}

class RawPort {
public:
    explicit RawPort(const std::string& path, speed_t speed = B19200, int line = 0) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + path);
        }
        configure(speed, line);
    }
    ~RawPort() { ::close(fd_); }
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;

    // line: 0 8N1, 1 8E1, 2 8O1, 3 8N2
    void configure(speed_t speed, int line) {
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB);
        t.c_cflag |= CLOCAL | CREAD;
        if (line == 1) {
            t.c_cflag |= PARENB;
        } else if (line == 2) {
            t.c_cflag |= PARENB | PARODD;
        } else if (line == 3) {
            t.c_cflag |= CSTOPB;
        }
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(fd_, TCSANOW, &t);
    }

    void write(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                throw std::runtime_error("write to pty failed");
            }
            done += static_cast<std::size_t>(n);
        }
    }

    // Reads until `count` bytes have arrived or `timeout` has passed.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 1000ms) {
        Bytes out;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            std::uint8_t buf[512];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) {
                out.insert(out.end(), buf, buf + n);
            }
        }
        return out;
    }

    // Everything that arrives within `window`.
    Bytes drain(std::chrono::milliseconds window) { return read(100000, window); }

    // Sends a request and reads a reply of the expected size (a little more is read, so that
    // stray extra bytes show up in the comparison).
    Bytes exchange(const Bytes& request, std::size_t expected,
                   std::chrono::milliseconds timeout = 1000ms) {
        write(request);
        Bytes reply = read(expected, timeout);
        const Bytes extra = read(64, 30ms);
        reply.insert(reply.end(), extra.begin(), extra.end());
        return reply;
    }

    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

} // namespace rawport
