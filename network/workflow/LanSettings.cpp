#include "network/workflow/LanSettings.h"

#include <array>
#include <cstdlib>
#include <vector>

namespace veltra {

namespace {

constexpr int kTextSize = 32;

int portAfterDash(const std::string& text, std::size_t dash) {
    if (dash == std::string::npos) {
        return LanSettings::kDefaultPort;
    }
    return std::atoi(text.c_str() + dash + 1);
}

std::optional<std::array<int, 4>> octets(const std::string& text) {
    std::array<int, 4> out{};
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        std::size_t digits = 0;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + (text[pos++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) {
            return std::nullopt;
        }
        out[static_cast<std::size_t>(i)] = value;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return out;
}

} // namespace

bool LanSettings::read(ReaderLink& link, const std::string& readerName) {
    std::array<char, kTextSize> addressText{}, nameText{}, maskText{}, gatewayText{};
    if (link.lanReadSettings(readerName.c_str(), nameText.data(), addressText.data(),
                             maskText.data(), gatewayText.data()) != 0) {
        return false;
    }
    const std::string a = addressText.data();
    const std::string n = nameText.data();
    if (!a.empty()) {
        mode = kFixedAddress;
        const auto dash = a.find('-');
        address = a.substr(0, dash);
        port = portAfterDash(a, dash);
    } else {
        mode = kDhcp;
        address.clear();
        port = kDefaultPort;
    }
    const auto close = n.find(']');
    if (!n.empty() && n[0] == '[' && close != std::string::npos) {
        dhcpName = n.substr(1, close - 1);
        if (mode == kDhcp && close + 1 < n.size() && n[close + 1] == '-') {
            port = std::atoi(n.c_str() + close + 2);
        }
    } else {
        dhcpName = n;
    }
    subnetMask = maskText.data();
    gateway = gatewayText.data();
    return true;
}

bool LanSettings::usableAddress(const std::string& text) {
    const auto o = octets(text);
    return o && (*o != std::array<int, 4>{0, 0, 0, 0});
}

LanSettings::Refusal LanSettings::newName(std::string& name) const {
    if (dhcpName.size() > kMaxDhcpName) {
        return Refusal::DhcpNameTooLong;
    }
    if (mode == kDhcp) {
        name = "[" + dhcpName + "]";
    } else {
        if (!usableAddress(address)) {
            return Refusal::InvalidAddress;
        }
        name = address;
    }
    name += "-" + std::to_string(port);
    return Refusal::None;
}

} // namespace veltra
