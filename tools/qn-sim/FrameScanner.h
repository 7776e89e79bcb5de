#pragma once

#include "tools/qn-sim/SimFrame.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qnsim {

// Collects received bytes and finds complete, well-checked request frames in them. Bytes that
// cannot belong to a frame (noise, a frame with a wrong check, the remains of a frame cut short)
// are dropped; a valid frame that follows them is still found.
class FrameScanner {
public:
    FrameScanner(bool acceptStx, bool acceptCrc);

    void feed(const std::uint8_t* data, std::size_t size);
    // The next complete frame, with everything before it dropped; empty while none is complete.
    // lineIdle: no byte has arrived for a while, so frames that are still open never finish.
    std::optional<Request> next(bool lineIdle = false);
    void clear() { buffer_.clear(); }
    std::size_t pending() const { return buffer_.size(); }

    // More than this many bytes without a frame in them are discarded from the front.
    static constexpr std::size_t kMaxPending = 4096;

private:
    enum class Candidate { Valid, Invalid, Incomplete };
    Candidate tryAt(std::size_t pos, Framing framing, Request* out) const;

    bool acceptStx_;
    bool acceptCrc_;
    Bytes buffer_;
};

} // namespace qnsim
