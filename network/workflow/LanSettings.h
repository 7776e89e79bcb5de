// The network settings of one Ethernet reader as the LAN settings dialog edits them: DHCP name
// or fixed address, TCP port, subnet mask and gateway; read from and written to the reader's
// module through the device link.
#pragma once

#include "config/workflow/ReaderLink.h"

#include <optional>
#include <string>

namespace veltra {

class LanSettings {
public:
    static constexpr int kDhcp = 0;
    static constexpr int kFixedAddress = 1;
    static constexpr int kNoMode = -1;
    static constexpr int kDefaultPort = 10001;
    static constexpr std::size_t kMaxDhcpName = 15;

    int mode = kNoMode;
    std::string dhcpName;
    std::string address; // dotted, fixed-address mode
    int port = 0;
    std::string subnetMask;
    std::string gateway;

    // Reads the settings of the reader; false (and the fields unchanged) when they cannot be
    // read.
    bool read(ReaderLink& link, const std::string& readerName);

    enum class Refusal { None, DhcpNameTooLong, InvalidAddress };
    // The network name the reader is to get ("192.168.0.20-10001" or "[LAB]-10001"), or the
    // reason it cannot get one. Without a mode chosen a fixed address is needed.
    Refusal newName(std::string& name) const;
    // Whether the text is a dotted address that is neither blank nor 0.0.0.0.
    static bool usableAddress(const std::string& text);
};

} // namespace veltra
