#include "tools/qn-sim/SimFrame.h"

#include <algorithm>

namespace qnsim {

std::uint16_t crc16Modbus(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool lsb = (crc & 1u) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (lsb) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::uint8_t xorCheck(const std::uint8_t* data, std::size_t size) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= data[i];
    }
    return x;
}

Bytes encodeFrame(Framing framing, std::uint8_t address, std::uint8_t code, const Bytes& data) {
    const std::size_t len = std::min<std::size_t>(data.size(), 255);
    Bytes frame;
    frame.reserve(len + 6);
    if (framing == Framing::Stx) {
        frame.push_back(kStx);
    }
    frame.push_back(address);
    frame.push_back(code);
    frame.push_back(static_cast<std::uint8_t>(len));
    frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(len));
    if (framing == Framing::Stx) {
        frame.push_back(xorCheck(frame.data() + 1, frame.size() - 1));
    } else {
        const std::uint16_t crc = crc16Modbus(frame.data(), frame.size());
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    return frame;
}

} // namespace qnsim
