#include "devicelink/Protocol.h"

namespace qnlink {

std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            const bool carry = (crc & 1U) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::uint8_t bcc(std::span<const std::uint8_t> bytes) {
    std::uint8_t x = 0;
    for (std::uint8_t b : bytes) {
        x ^= b;
    }
    return x;
}

Bytes buildRequest(Framing framing, std::uint8_t address, std::uint8_t command,
                   std::span<const std::uint8_t> data) {
    Bytes frame;
    frame.reserve(data.size() + 6);
    if (framing == Framing::StxBcc) {
        frame.push_back(kStx);
    }
    frame.push_back(address);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    if (framing == Framing::StxBcc) {
        frame.push_back(bcc(std::span(frame).subspan(1)));
    } else {
        const std::uint16_t crc = crc16Modbus(frame);
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    return frame;
}

ReplyPhase scanReply(Framing framing, Bytes& queue) {
    if (queue.size() < 4) {
        return ReplyPhase::WaitHeader;
    }
    if (framing == Framing::StxBcc) {
        std::size_t skip = 0;
        while (queue[skip] != kStx && queue.size() - skip >= 4) {
            ++skip;
        }
        // The loop stops at the 0x02 or when only 3 bytes are left; the last 3 may still
        // hold the start of the frame.
        if (skip > 0) {
            queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(skip));
        }
        if (queue.front() != kStx) {
            return ReplyPhase::SeekStx;
        }
        if (queue.size() < 4) {
            return ReplyPhase::WaitBody;
        }
    }
    const std::size_t lenOffset = replyHeaderSize(framing) - 1;
    const std::size_t need = static_cast<std::size_t>(queue[lenOffset]) + 5;
    return queue.size() >= need ? ReplyPhase::Complete : ReplyPhase::WaitBody;
}

ReplyResult validateReply(Framing framing, std::span<const std::uint8_t> reply) {
    ReplyResult result;
    const std::size_t header = replyHeaderSize(framing);
    if (reply.size() < 5) {
        result.error = 16;
        return result;
    }
    const std::size_t len = reply[header - 1];
    const std::size_t total = len + 5;
    if (reply.size() < total) {
        result.error = 16;
        return result;
    }
    const auto frame = reply.first(total);
    if (framing == Framing::StxBcc) {
        if (bcc(frame.subspan(1, total - 2)) != frame[total - 1]) {
            result.error = 14;
            return result;
        }
    } else {
        const std::uint16_t crc = crc16Modbus(frame.first(total - 2));
        const std::uint16_t got =
            static_cast<std::uint16_t>(frame[total - 2] | (frame[total - 1] << 8));
        if (crc != got) {
            result.error = 14;
            return result;
        }
    }
    const std::uint8_t status = frame[header - 2];
    if (status != 0) {
        result.error = status;
        return result;
    }
    result.data.assign(frame.begin() + static_cast<std::ptrdiff_t>(header),
                       frame.begin() + static_cast<std::ptrdiff_t>(header + len));
    return result;
}

namespace {

std::uint8_t transponderFromOld(std::uint8_t code) {
    switch (code) {
    case 1:
        return 5;
    case 2:
        return 2;
    case 3:
        return 4;
    case 5:
        return 3;
    case 6:
        return 6;
    case 8:
        return 7;
    default:
        return 0;
    }
}

std::uint8_t transponderToOld(std::span<const std::uint8_t> c) {
    const std::uint8_t high = (c[6] == 1 || c[6] == 3) ? 0x80 : 0x00;
    switch (c[0]) {
    case 0:
        return c[1] == 2 ? 7 : 0;
    case 2:
        return static_cast<std::uint8_t>(2 + high);
    case 3:
        return static_cast<std::uint8_t>(5 + high);
    case 4:
        return static_cast<std::uint8_t>(3 + high);
    case 5:
        return static_cast<std::uint8_t>(1 + high);
    case 6:
        return static_cast<std::uint8_t>(6 + high);
    case 7:
        return static_cast<std::uint8_t>(8 + high);
    case 8:
        return static_cast<std::uint8_t>(9 + high);
    case 9:
        return static_cast<std::uint8_t>(5 + high);
    case 12:
        return static_cast<std::uint8_t>(3 + high);
    default:
        return 0;
    }
}

} // namespace

bool block1FromOldLayout(std::span<const std::uint8_t> old, Bytes& current) {
    const std::size_t n = old.size();
    if (n < kBlock1OldMinimum) {
        return false;
    }
    Bytes o(old.begin(), old.end());
    if (o[1] == 0) {
        o[2] = 1;
    } else if (o[1] == 7) {
        o[2] = 2;
    }
    const bool hasExtra = n >= 12;
    current.assign(kBlock1CurrentSize, 0);
    current[0] = transponderFromOld(static_cast<std::uint8_t>(o[1] & 0x7F));
    current[1] = o[2];
    current[2] = o[3];
    current[3] = o[4];
    current[4] = o[5];
    current[5] = o[6];
    current[6] =
        static_cast<std::uint8_t>(((o[1] >> 7) & 1) | ((hasExtra && (o[11] & 0x0F) != 0) ? 2 : 0));
    current[7] = o[7];
    current[8] = o[8];
    current[9] = (!hasExtra || o[11] < 16) ? 5 : static_cast<std::uint8_t>(o[11] >> 4);
    current[10] = 1;
    current[11] = 0;
    current[12] = 0;
    return true;
}

bool block1ToOldLayout(std::span<const std::uint8_t> c, bool extraByte, Bytes& old) {
    if (c.size() < kBlock1WriteMinimum) {
        return false;
    }
    old = {0x0A, transponderToOld(c), c[1], c[2], c[3], c[4], c[5], c[7], c[8], 5, 5};
    if (extraByte) {
        const auto shifted = static_cast<std::uint8_t>(c[9] << 4);
        old.push_back((c[6] == 0 || c[6] == 1) ? shifted : static_cast<std::uint8_t>(shifted + 1));
    }
    return true;
}

} // namespace qnlink
