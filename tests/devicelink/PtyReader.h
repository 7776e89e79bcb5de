// A pseudo-terminal whose master side plays a reader byte by byte, for the tests that must see
// the exact bytes on the wire or answer in ways the simulator does not. The test supplies the
// answer for each request frame; every frame is recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace veltra::test {

class PtyReader {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Returns the bytes to send back for one request frame, or nothing to stay silent.
    using Answer = std::function<std::optional<Bytes>(const Bytes& frame)>;

    explicit PtyReader(Answer answer = {}) : answer_(std::move(answer)) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        path_ = ::ptsname(master_);
        // Holding the slave open keeps the master readable while the library closes and
        // reopens the port (a pty without any slave reports a hang-up).
        keepAlive_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~PtyReader() {
        stop_ = true;
        thread_.join();
        ::close(keepAlive_);
        ::close(master_);
    }
    PtyReader(const PtyReader&) = delete;
    PtyReader& operator=(const PtyReader&) = delete;

    const std::string& path() const { return path_; }

    // While paused the reader reads nothing, so the terminal's buffers fill up.
    // Returns once the reading thread has stopped reading (or resumed).
    void pause(bool paused) {
        paused_ = paused;
        while (pausedSeen_ != paused) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::vector<Bytes> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    // Every byte that arrived, in order.
    Bytes received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        frames_.clear();
        buffer_.clear();
        received_.clear();
    }
    void send(const Bytes& bytes) { (void)!::write(master_, bytes.data(), bytes.size()); }

    // Waits until at least count frames were seen.
    bool waitForFrames(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(2)) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (frames().size() >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // Reply frames as a reader sends them.
    static Bytes stxReply(std::uint8_t status, const Bytes& data) {
        Bytes r{0x02, 0x01, status, static_cast<std::uint8_t>(data.size())};
        r.insert(r.end(), data.begin(), data.end());
        std::uint8_t x = 0;
        for (std::size_t i = 1; i < r.size(); ++i) {
            x ^= r[i];
        }
        r.push_back(x);
        return r;
    }
    static Bytes crcReply(std::uint8_t status, const Bytes& data) {
        Bytes r{0x01, status, static_cast<std::uint8_t>(data.size())};
        r.insert(r.end(), data.begin(), data.end());
        std::uint16_t crc = 0xFFFF;
        for (std::uint8_t b : r) {
            crc ^= b;
            for (int i = 0; i < 8; ++i) {
                crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                : static_cast<std::uint16_t>(crc >> 1);
            }
        }
        r.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        r.push_back(static_cast<std::uint8_t>(crc >> 8));
        return r;
    }

private:
    void run() {
        std::uint8_t chunk[512];
        while (!stop_) {
            pausedSeen_ = paused_.load();
            if (pausedSeen_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) {
                continue;
            }
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0) {
                continue;
            }
            std::vector<Bytes> complete;
            {
                std::lock_guard lock(mutex_);
                buffer_.insert(buffer_.end(), chunk, chunk + n);
                received_.insert(received_.end(), chunk, chunk + n);
                // A frame is LEN + 5 bytes in either framing; LEN sits at offset 3 behind an
                // STX, else at offset 2.
                for (;;) {
                    if (buffer_.size() < 4) {
                        break;
                    }
                    const std::size_t lenAt = buffer_[0] == 0x02 ? 3 : 2;
                    const std::size_t total = buffer_[lenAt] + 5u;
                    if (buffer_.size() < total) {
                        break;
                    }
                    Bytes frame(buffer_.begin(), buffer_.begin() + static_cast<long>(total));
                    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(total));
                    frames_.push_back(frame);
                    complete.push_back(std::move(frame));
                }
            }
            for (const auto& frame : complete) {
                if (answer_) {
                    if (auto reply = answer_(frame)) {
                        send(*reply);
                    }
                }
            }
        }
    }

    Answer answer_;
    int master_ = -1;
    int keepAlive_ = -1;
    std::string path_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> pausedSeen_{false};
    mutable std::mutex mutex_;
    std::vector<Bytes> frames_;
    Bytes buffer_;
    Bytes received_;
};

} // namespace veltra::test
