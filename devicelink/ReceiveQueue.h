// The bytes a link has received and the protocol has not consumed yet. Links append from their
// own thread; the exchange inspects the bytes and waits on the condition variable for more.
#ifndef QNLINK_RECEIVEQUEUE_H
#define QNLINK_RECEIVEQUEUE_H

#include "devicelink/Protocol.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace qnlink {

class ReceiveQueue {
public:
    void append(const std::uint8_t* data, std::size_t size) {
        {
            std::lock_guard lock(mutex_);
            bytes_.insert(bytes_.end(), data, data + size);
            ++generation_;
        }
        changed_.notify_all();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        bytes_.clear();
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return bytes_.size();
    }
    Bytes takeAll() {
        std::lock_guard lock(mutex_);
        Bytes out;
        out.swap(bytes_);
        return out;
    }
    // Moves up to max bytes from the front.
    Bytes take(std::size_t max) {
        std::lock_guard lock(mutex_);
        const std::size_t n = max < bytes_.size() ? max : bytes_.size();
        Bytes out(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
        return out;
    }
    // Wakes a waiter without data (the link ended).
    void poke() {
        {
            std::lock_guard lock(mutex_);
            ++generation_;
        }
        changed_.notify_all();
    }

    // Runs scan(bytes) under the lock and returns its result; `generation` receives the count
    // of changes seen so far, for waitForChange().
    template <typename Scan>
    auto inspect(Scan&& scan, std::uint64_t& generation) {
        std::lock_guard lock(mutex_);
        generation = generation_;
        return scan(bytes_);
    }
    // Waits until the queue changed after `seen` (bytes arrived or the link ended) or the
    // deadline passes. True when it changed.
    bool waitForChange(std::uint64_t seen, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [&] { return generation_ != seen; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Bytes bytes_;
    std::uint64_t generation_ = 0;
};

} // namespace qnlink

#endif
