// Access to one Ethernet module's configuration over UDP: open (find the adapter it answers
// on), block reads and writes, the identity query, the set-IP-address message and the closing
// message. One access lives for one LAN operation and holds a TCP handle number meanwhile.
#ifndef QNLINK_CONFIGACCESS_H
#define QNLINK_CONFIGACCESS_H

#include "devicelink/tcp/DatagramSocket.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qnlink {

using Block = std::vector<std::uint8_t>;

// How long an answer is waited for after the request or after a datagram that did not match;
// however many such datagrams come, one wait ends after kAnswerWaitLimit.
constexpr std::chrono::milliseconds kAnswerWindow{500};
constexpr std::chrono::milliseconds kAnswerWaitLimit{5000};

class ConfigAccess {
public:
    ConfigAccess() = default;
    ~ConfigAccess();
    ConfigAccess(const ConfigAccess&) = delete;
    ConfigAccess& operator=(const ConfigAccess&) = delete;

    // Resolves a bracketed module name, then queries block 0 from the host on each adapter
    // until one gets an answer. 0, or -1 when no adapter reaches the module.
    int open(std::string_view portName);
    // The block's data (at least minData bytes), or nothing.
    std::optional<Block> readBlock(int block, std::size_t minData = kBlockAnswerSize);
    bool writeBlock(int block, const Block& data);
    std::optional<Block> queryIdentity();
    bool sendSetAddress(std::uint8_t id24, std::uint8_t id25, std::uint32_t newAddress);
    void close(bool closingMessage);

    std::uint32_t host() const { return host_; }
    int handle() const { return handle_; }

private:
    std::optional<Block> awaitAnswer(std::uint8_t type, std::size_t minData);

    std::unique_ptr<DatagramSocket> socket_;
    std::uint32_t host_ = 0;
    int handle_ = 0;
};

// What the waits make of one received datagram; the socket loops below call these, so the
// handling of whatever arrives can be checked without a network.
// The data of an answer of this type from host (from anyone when host is 0) with at least
// minData bytes after the header; nothing for any other datagram.
std::optional<Block> acceptAnswer(const ReceivedDatagram& datagram, std::uint32_t host,
                                  std::uint8_t type, std::size_t minData);
// "a.b.c.d-port" when the datagram is a block-0 answer of the module named `wanted` ("[LAB]")
// from an address other than the one in its block; nothing otherwise.
std::optional<std::string> resolvedModule(const ReceivedDatagram& datagram,
                                          std::string_view wanted);
// The search list entry of a block-0 answer (see searchEntry); nothing for any other datagram.
std::optional<std::string> searchAnswerEntry(const ReceivedDatagram& datagram);
// The readers-only entry of a search entry whose module answered block 2 with this data: a
// bracketed entry shortened to its name; nothing when the type text is not the maker's
// ("QN-...", any case).
std::optional<std::string> readerSearchEntry(std::string_view entry, const Block& block2);

// The module a bracketed name stands for: "a.b.c.d-port" of the first module that answers the
// broadcast on any adapter within 200 ms with that name and an address other than the one it
// answered from; empty when none does. A name without "[" is returned unchanged.
std::string resolveModuleName(std::string_view name);

// The broadcast search on every adapter at once; with readersOnly only the maker's readers
// (block 2 type text "QN-..."), a bracketed entry shortened to its name. Sorted, no duplicates.
std::vector<std::string> searchModules(bool readersOnly);

// The host part of a port name: bus address cut off, bracketed name resolved, port dropped.
// Empty when a bracketed name finds no module.
std::string hostOfPortName(std::string_view portName);

} // namespace qnlink

#endif
