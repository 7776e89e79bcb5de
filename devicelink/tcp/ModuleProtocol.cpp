#include "devicelink/tcp/ModuleProtocol.h"

#include <arpa/inet.h>
#include <cstring>

namespace qnlink {

namespace {

Datagram header(std::uint8_t b1, std::uint8_t type) {
    return {0x00, b1, 0x00, type};
}

std::string field(const std::vector<std::uint8_t>& block, std::size_t offset) {
    std::string text;
    for (std::size_t i = offset; i < offset + 8 && i < block.size() && block[i] != 0; ++i) {
        text += static_cast<char>(block[i]);
    }
    return text;
}

} // namespace

Datagram queryBlockRequest(int block) {
    return header(0x01, block == 0 ? 0xF8 : static_cast<std::uint8_t>(0xE0 + block));
}

Datagram writeBlockRequest(int block, const std::vector<std::uint8_t>& data) {
    Datagram d =
        block == 0 ? header(0x00, 0xFD) : header(0x01, static_cast<std::uint8_t>(0xC0 + block));
    d.insert(d.end(), data.begin(), data.end());
    return d;
}

Datagram queryIdentityRequest() {
    return header(0x01, 0xF6);
}

Datagram setAddressRequest(std::uint8_t id24, std::uint8_t id25, std::uint32_t newAddress) {
    Datagram d = header(0x00, 0xFC);
    for (char c : std::string_view("IP-SETUP")) {
        d.push_back(static_cast<std::uint8_t>(c));
    }
    d.insert(d.end(), {0x00, 0x00, id24, id25});
    std::uint8_t ip[4];
    std::memcpy(ip, &newAddress, 4);
    d.insert(d.end(), ip, ip + 4);
    return d;
}

Datagram closingRequest() {
    return {0x00, 0x00, 0x00, 0x03, 0x58, 0x33};
}

std::uint8_t queryAnswerType(int block) {
    return block == 0 ? 0xF9 : static_cast<std::uint8_t>(0xD0 + block);
}

std::uint8_t writeAnswerType(int block) {
    return block == 0 ? 0xFB : static_cast<std::uint8_t>(0xB0 + block);
}

std::optional<std::vector<std::uint8_t>> answerData(const Datagram& datagram, std::uint8_t type,
                                                    std::size_t minData) {
    if (datagram.size() < kModuleHeaderSize + minData || datagram[3] != type) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(datagram.begin() + kModuleHeaderSize, datagram.end());
}

std::uint32_t readAddress(const std::vector<std::uint8_t>& block, std::size_t offset) {
    std::uint32_t a = 0;
    if (offset + 4 <= block.size()) {
        std::memcpy(&a, block.data() + offset, 4);
    }
    return a;
}

void writeAddress(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t address) {
    if (offset + 4 <= block.size()) {
        std::memcpy(block.data() + offset, &address, 4);
    }
}

int readPort(const std::vector<std::uint8_t>& block, std::size_t offset) {
    return offset + 2 <= block.size() ? block[offset] | (block[offset + 1] << 8) : 0;
}

void writePort(std::vector<std::uint8_t>& block, std::size_t offset, int port) {
    if (offset + 2 <= block.size()) {
        block[offset] = static_cast<std::uint8_t>(port & 0xFF);
        block[offset + 1] = static_cast<std::uint8_t>((port >> 8) & 0xFF);
    }
}

std::string bracketedModuleName(const std::vector<std::uint8_t>& block0) {
    return "[" + field(block0, block0::kNameHead) + field(block0, block0::kNameTail) + "]";
}

void writeModuleName(std::vector<std::uint8_t>& block0, std::string_view name) {
    char padded[16] = {};
    std::memcpy(padded, name.data(), std::min<std::size_t>(name.size(), 16));
    if (block0.size() >= block0::kNameHead + 8) {
        std::memcpy(block0.data() + block0::kNameHead, padded, 8);
        std::memcpy(block0.data() + block0::kNameTail, padded + 8, 8);
    }
}

std::string dottedAddress(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{address};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::optional<std::uint32_t> parseDottedAddress(std::string_view text) {
    std::uint8_t octets[4];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        int value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255) {
            return std::nullopt;
        }
        octets[i] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    std::uint32_t a;
    std::memcpy(&a, octets, 4);
    return a;
}

std::uint32_t maskFromHostBits(int hostBits) {
    if (hostBits >= 32) {
        return 0;
    }
    return htonl(0xFFFFFFFFu << (hostBits < 0 ? 0 : hostBits));
}

int hostBitsFromMask(std::uint32_t mask) {
    const std::uint32_t m = ntohl(mask);
    if (m == 0) {
        return 32;
    }
    int bits = 0;
    while (((m >> bits) & 1u) == 0) {
        ++bits;
    }
    return bits;
}

std::string searchEntry(const std::vector<std::uint8_t>& block0, std::uint32_t source) {
    const std::string port = "-" + std::to_string(readPort(block0, block0::kTcpPort));
    const std::uint32_t own = readAddress(block0, block0::kAddress);
    if (own == source) {
        return dottedAddress(own) + port;
    }
    return bracketedModuleName(block0) + dottedAddress(source) + port;
}

std::string bracketedPart(std::string_view name) {
    const std::size_t open = name.find('[');
    if (open == std::string_view::npos) {
        return {};
    }
    const std::size_t close = name.find(']', open);
    if (close == std::string_view::npos) {
        return std::string(name.substr(open));
    }
    return std::string(name.substr(open, close - open + 1));
}

std::string withoutPort(std::string_view name) {
    const std::size_t dash = name.rfind('-');
    return std::string(dash == std::string_view::npos ? name : name.substr(0, dash));
}

} // namespace qnlink
