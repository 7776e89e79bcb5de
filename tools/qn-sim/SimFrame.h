// Request and reply frames as a reader sees them on the wire, in both framings:
//   STX/BCC:  02 ADDR CMD LEN data... BCC      (BCC = XOR of ADDR .. last data byte)
//   CRC:      ADDR CMD LEN data... CRC_lo CRC_hi   (CRC-16/MODBUS over ADDR .. last data byte)
// Replies carry STATUS in place of CMD. The reader side is written here on its own, without any
// code of the device link, so that a framing mistake cannot hide on both ends of the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qnsim {

using Bytes = std::vector<std::uint8_t>;

enum class Framing { Stx, Crc };

constexpr std::uint8_t kStx = 0x02;

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t crc16Modbus(const std::uint8_t* data, std::size_t size);
std::uint8_t xorCheck(const std::uint8_t* data, std::size_t size);

struct Request {
    Framing framing = Framing::Stx;
    std::uint8_t address = 0;
    std::uint8_t command = 0;
    Bytes data;
};

// Builds a complete frame: address, code (command or status), LEN, data and check value.
// Data longer than 255 bytes cannot be framed and is cut to 255.
Bytes encodeFrame(Framing framing, std::uint8_t address, std::uint8_t code, const Bytes& data);

// Header length before the data (STX, ADDR, CODE, LEN or ADDR, CODE, LEN).
constexpr std::size_t headerSize(Framing f) {
    return f == Framing::Stx ? 4 : 3;
}

} // namespace qnsim
