#include "devicelink/tcp/LanOperations.h"

#include "devicelink/MultiString.h"
#include "devicelink/Ping.h"
#include "devicelink/PortName.h"
#include "devicelink/tcp/ConfigAccess.h"
#include "qnlink.h"

#include <cstring>
#include <string>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPingPeriod = std::chrono::milliseconds(100);
constexpr auto kPingLimit = std::chrono::milliseconds(5000);
constexpr int kReopenAttempts = 21;
constexpr int kWriteAttempts = 6;
constexpr auto kWritePause = std::chrono::milliseconds(500);

void copyOut(char* buffer, const std::string& text) {
    if (buffer != nullptr) {
        const std::size_t n = std::min<std::size_t>(text.size(), QN_LAN_TEXT_SIZE - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
}

bool present(const char* text) {
    return text != nullptr && *text != '\0';
}

// The new address of QnLanSetAddress: a dotted address or a bracketed name (which stands for
// 0.0.0.0 and the new name), either with an optional "-port".
struct NewAddress {
    std::uint32_t ip = 0;
    std::string name;
    int port = 0;
};

std::optional<NewAddress> parseNewAddress(std::string_view text) {
    NewAddress result;
    std::string_view rest = text;
    if (rest.starts_with("[")) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        result.name = std::string(rest.substr(1, close - 1));
        if (result.name.size() > 16) {
            return std::nullopt; // the module keeps 16 characters; a longer name would be cut
        }
        rest = rest.substr(close + 1);
    }
    const std::size_t dash = rest.rfind('-');
    if (dash != std::string_view::npos) {
        const std::string port(rest.substr(dash + 1));
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        result.port = std::stoi(port);
        if (result.port > 65535) {
            return std::nullopt;
        }
        rest = rest.substr(0, dash);
    }
    if (result.name.empty() && !text.starts_with("[")) {
        const auto ip = parseDottedAddress(rest);
        if (!ip) {
            return std::nullopt;
        }
        result.ip = *ip;
    } else if (!rest.empty()) {
        return std::nullopt;
    }
    return result;
}

} // namespace

LanSettingsTexts lanSettingsTexts(const std::vector<std::uint8_t>& block0) {
    const std::string port = "-" + std::to_string(readPort(block0, block0::kTcpPort));
    const std::uint32_t ip = readAddress(block0, block0::kAddress);
    const int hostBits = block0.size() > block0::kHostBits ? block0[block0::kHostBits] : 0;
    LanSettingsTexts texts;
    texts.name = bracketedModuleName(block0) + port;
    texts.address = ip == 0 ? std::string() : dottedAddress(ip) + port;
    texts.subnetMask = dottedAddress(maskFromHostBits(hostBits));
    texts.gateway = dottedAddress(readAddress(block0, block0::kGateway));
    return texts;
}

bool lanRemoteHost(const std::vector<std::uint8_t>& block0, std::string& address, int& port) {
    if (block0.size() != kBlockAnswerSize) {
        return false;
    }
    const std::uint32_t remote = readAddress(block0, block0::kRemoteHost);
    address = remote == 0 ? std::string() : dottedAddress(remote);
    port = remote == 0 ? 0 : readPort(block0, block0::kRemotePort);
    return true;
}

int lanSearch(bool readersOnly, char* buffer, int size) {
    return writeMultiString(searchModules(readersOnly), buffer, size);
}

int lanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                    char* gateway) {
    if (portName == nullptr) {
        return -1;
    }
    ConfigAccess access;
    if (const int r = access.open(portName); r != 0) {
        return r;
    }
    const auto block = access.readBlock(0);
    if (!block) {
        return -1;
    }
    const LanSettingsTexts texts = lanSettingsTexts(*block);
    copyOut(name, texts.name);
    copyOut(address, name == nullptr && texts.address.empty() ? texts.name : texts.address);
    copyOut(subnetMask, texts.subnetMask);
    copyOut(gateway, texts.gateway);
    return 0;
}

int lanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                  const char* gateway) {
    if (portName == nullptr || newAddress == nullptr) {
        return -1;
    }
    const auto wanted = parseNewAddress(newAddress);
    std::optional<std::uint32_t> mask;
    std::uint32_t gatewayAddress = 0;
    if (present(subnetMask)) {
        mask = parseDottedAddress(subnetMask);
        if (!mask) {
            return -1;
        }
    }
    if (present(gateway)) {
        const auto g = parseDottedAddress(gateway);
        if (!g) {
            return -1;
        }
        gatewayAddress = *g;
    }
    if (!wanted) {
        return -1; // nothing is sent for an address that cannot be set
    }
    LanWaitScope wait;
    auto access = std::make_unique<ConfigAccess>();
    if (access->open(portName) != 0) {
        return -1;
    }
    auto block = access->readBlock(0);
    if (!block) {
        return -1;
    }
    const bool ipDiffers = readAddress(*block, block0::kAddress) != wanted->ip;
    const int hostBits = mask ? hostBitsFromMask(*mask) : 0;
    const bool differs =
        ipDiffers || (wanted->port != 0 && readPort(*block, block0::kTcpPort) != wanted->port) ||
        (mask && (*block)[block0::kHostBits] != hostBits) ||
        readAddress(*block, block0::kGateway) != gatewayAddress ||
        (!wanted->name.empty() && bracketedModuleName(*block) != "[" + wanted->name + "]");

    if (ipDiffers) {
        const auto identity = access->queryIdentity();
        if (!identity) {
            return -1;
        }
        (void)access->sendSetAddress((*identity)[24], (*identity)[25], wanted->ip);
        access->close(false);
        std::string target =
            wanted->name.empty() ? dottedAddress(wanted->ip) : "[" + wanted->name + "]";
        if (wanted->port != 0) {
            target += "-" + std::to_string(wanted->port);
        }
        const auto until = Clock::now() + kPingLimit;
        while (pingLanDevice(target.c_str()) == 0 && Clock::now() < until) {
            lanPause(kPingPeriod);
        }
        int opened = -1;
        for (int attempt = 0; attempt < kReopenAttempts && opened != 0; ++attempt) {
            if (attempt > 0) {
                lanPause(kPingPeriod);
            }
            access = std::make_unique<ConfigAccess>();
            opened = access->open(target);
        }
        if (opened != 0) {
            return opened;
        }
    }
    if (differs) {
        writeAddress(*block, block0::kAddress, wanted->ip);
        if (mask) {
            (*block)[block0::kHostBits] = static_cast<std::uint8_t>(hostBits);
        }
        writeAddress(*block, block0::kGateway, gatewayAddress);
        if (wanted->port != 0) {
            writePort(*block, block0::kTcpPort, wanted->port);
        }
        if (!wanted->name.empty()) {
            writeModuleName(*block, wanted->name);
            if (auto block3 = access->readBlock(3, kLongBlockSize)) {
                char padded[16] = {};
                std::memcpy(padded, wanted->name.data(), wanted->name.size());
                std::memcpy(block3->data() + kBlock3NameTail, padded + 8, 8);
                (void)access->writeBlock(3, *block3);
            }
        }
        bool written = false;
        for (int attempt = 0; attempt < kWriteAttempts && !written; ++attempt) {
            if (attempt > 0) {
                lanPause(kWritePause);
            }
            written = access->writeBlock(0, *block);
        }
        if (!written) {
            access->close(true);
            return -1;
        }
    }
    access->close(true);
    return 0;
}

int lanReadRemoteHost(const char* portName, char* address, int* port) {
    if (address == nullptr || port == nullptr) {
        return kLanMissingOutput;
    }
    if (portName == nullptr) {
        return -1;
    }
    ConfigAccess access;
    if (const int r = access.open(portName); r != 0) {
        return r;
    }
    const auto block = access.readBlock(0);
    access.close(false);
    std::string text;
    if (!block || !lanRemoteHost(*block, text, *port)) {
        return -1;
    }
    std::memcpy(address, text.c_str(), text.size() + 1);
    return 0;
}

int lanWriteRemoteHost(const char* portName, const char* address, int port) {
    if (portName == nullptr) {
        return -1;
    }
    std::uint32_t remote = 0;
    if (present(address)) {
        const auto parsed = parseDottedAddress(address);
        if (!parsed || port < 0 || port > 65535) {
            return -1;
        }
        remote = *parsed;
    }
    ConfigAccess access;
    if (const int r = access.open(portName); r != 0) {
        return r;
    }
    auto block = access.readBlock(0);
    if (!block || block->size() != kBlockAnswerSize) {
        access.close(false);
        return -1;
    }
    const bool stored = remote != 0 ? readAddress(*block, block0::kRemoteHost) == remote &&
                                          readPort(*block, block0::kRemotePort) == port
                                    : readAddress(*block, block0::kRemoteHost) == 0 &&
                                          readPort(*block, block0::kRemotePort) == 0;
    if (stored) {
        access.close(false);
        return 0;
    }
    writeAddress(*block, block0::kRemoteHost, remote);
    writePort(*block, block0::kRemotePort, remote != 0 ? port : 0);
    const bool written = access.writeBlock(0, *block);
    access.close(written);
    return written ? 0 : -1;
}

} // namespace qnlink
