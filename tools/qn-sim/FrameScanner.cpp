#include "tools/qn-sim/FrameScanner.h"

namespace qnsim {

FrameScanner::FrameScanner(bool acceptStx, bool acceptCrc)
    : acceptStx_(acceptStx), acceptCrc_(acceptCrc) {}

void FrameScanner::feed(const std::uint8_t* data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    if (buffer_.size() > kMaxPending) {
        buffer_.erase(buffer_.begin(),
                      buffer_.begin() + static_cast<std::ptrdiff_t>(buffer_.size() - kMaxPending));
    }
}

FrameScanner::Candidate FrameScanner::tryAt(std::size_t pos, Framing framing, Request* out) const {
    const std::size_t avail = buffer_.size() - pos;
    const std::uint8_t* p = buffer_.data() + pos;
    std::size_t off = 0;
    if (framing == Framing::Stx) {
        if (p[0] != kStx) {
            return Candidate::Invalid;
        }
        off = 1;
    }
    if (avail < off + 3) {
        return Candidate::Incomplete;
    }
    const std::size_t len = p[off + 2];
    const std::size_t checkSize = framing == Framing::Stx ? 1 : 2;
    const std::size_t total = off + 3 + len + checkSize;
    if (avail < total) {
        return Candidate::Incomplete;
    }
    const std::size_t body = off + 3 + len; // bytes before the check value
    bool ok = false;
    if (framing == Framing::Stx) {
        ok = xorCheck(p + 1, body - 1) == p[body];
    } else {
        const std::uint16_t crc = crc16Modbus(p, body);
        ok = p[body] == (crc & 0xFF) && p[body + 1] == (crc >> 8);
    }
    if (!ok) {
        return Candidate::Invalid;
    }
    out->framing = framing;
    out->address = p[off];
    out->command = p[off + 1];
    out->data.assign(p + off + 3, p + off + 3 + len);
    return Candidate::Valid;
}

std::optional<Request> FrameScanner::next(bool lineIdle) {
    // Frames are taken in order. Leading bytes that cannot start a frame in any accepted framing
    // are noise and dropped. A start whose frame is still arriving holds everything behind it, so
    // data bytes that happen to look like a frame are never taken for one. Once the line has
    // been idle, such unfinished starts are given up and the first complete frame behind them
    // is taken.
    for (std::size_t pos = 0; pos < buffer_.size(); ++pos) {
        bool incomplete = false;
        for (Framing f : {Framing::Stx, Framing::Crc}) {
            if ((f == Framing::Stx && !acceptStx_) || (f == Framing::Crc && !acceptCrc_)) {
                continue;
            }
            Request req;
            const Candidate c = tryAt(pos, f, &req);
            if (c == Candidate::Valid) {
                const std::size_t size =
                    headerSize(f) + req.data.size() + (f == Framing::Stx ? 1 : 2);
                buffer_.erase(buffer_.begin(),
                              buffer_.begin() + static_cast<std::ptrdiff_t>(pos + size));
                return req;
            }
            if (c == Candidate::Incomplete) {
                incomplete = true;
            }
        }
        if (incomplete && !lineIdle) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
            return std::nullopt;
        }
    }
    buffer_.clear();
    return std::nullopt;
}

} // namespace qnsim
