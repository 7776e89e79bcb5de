// The reader command protocol: request frames in both framings, the CRC, the reply scanner
// and validator, and the conversions of parameter block 1 for readers with the older layout.
// Everything here is pure and works on byte vectors, so it can be tested and fuzzed directly.
#ifndef QNLINK_PROTOCOL_H
#define QNLINK_PROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qnlink {

using Bytes = std::vector<std::uint8_t>;

enum class Framing : std::uint8_t {
    StxBcc = 0, // 02, address, command, LEN, data, BCC
    Crc = 1,    // address, command, LEN, data, CRC-16/MODBUS low byte first
};

constexpr std::uint8_t kStx = 0x02;
// A request carries at most 255 data bytes: LEN is one byte.
constexpr std::size_t kMaxRequestData = 255;

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes);
// XOR of all bytes.
std::uint8_t bcc(std::span<const std::uint8_t> bytes);

// Builds a complete request frame. The caller guarantees data.size() <= kMaxRequestData.
Bytes buildRequest(Framing framing, std::uint8_t address, std::uint8_t command,
                   std::span<const std::uint8_t> data);

// Header size of a reply before its data: 02 addr status LEN, or addr status LEN.
constexpr std::size_t replyHeaderSize(Framing f) {
    return f == Framing::StxBcc ? 4 : 3;
}

// Where the wait for a reply stands. The phases have their own clocks in the exchange.
enum class ReplyPhase {
    WaitHeader = 1, // fewer than 4 bytes queued
    SeekStx = 2,    // STX/BCC only: skipping bytes before the 0x02
    WaitBody = 3,   // header found, waiting for LEN + 5 bytes
    Complete = 4,   // a whole frame is queued
};

// Advances the reply scan over the receive queue. In STX/BCC framing, bytes before the 0x02
// are removed from the queue (never fewer than 4 remain while skipping). In CRC framing nothing
// is removed. Returns the phase the queue is in now.
ReplyPhase scanReply(Framing framing, Bytes& queue);

struct ReplyResult {
    int error = 0; // 0, or a last-error code / reader status
    Bytes data;    // the reply data on success
};

// Validates a received reply (the whole queue taken out) and extracts its data. Errors:
// 16 when the bytes do not make a whole frame, 14 for a wrong BCC/CRC, the status byte when
// the reader reported a failure.
ReplyResult validateReply(Framing framing, std::span<const std::uint8_t> reply);

// ---- Parameter block 1 of readers with the older layout ----

constexpr std::size_t kBlock1CurrentSize = 13;
constexpr std::size_t kBlock1OldMinimum = 11;
constexpr std::size_t kBlock1WriteMinimum = 12;

// Old reply bytes -> current layout (13 bytes). Returns false when the reply is shorter
// than 11 bytes.
bool block1FromOldLayout(std::span<const std::uint8_t> old, Bytes& current);
// Current layout -> old block to send; extraByte selects the 12-byte form. Returns false when
// fewer than 12 bytes are given.
bool block1ToOldLayout(std::span<const std::uint8_t> current, bool extraByte, Bytes& old);

} // namespace qnlink

#endif
