// The configuration protocol of the Ethernet module on UDP port 30718: request datagrams, the
// acceptance of answers, and the fields of block 0. Pure functions, no sockets.
#ifndef QNLINK_MODULEPROTOCOL_H
#define QNLINK_MODULEPROTOCOL_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qnlink {

using Datagram = std::vector<std::uint8_t>;

constexpr std::uint16_t kModuleConfigPort = 30718;
constexpr std::size_t kModuleHeaderSize = 4;
// Least data (after the header) of a block answer and of an identity answer.
constexpr std::size_t kBlockAnswerSize = 120;
constexpr std::size_t kLongBlockSize = 126; // blocks 2 and 3
constexpr std::size_t kIdentityAnswerSize = 26;

// Offsets in block 0.
namespace block0 {
constexpr std::size_t kAddress = 0;
constexpr std::size_t kHostBits = 6;
constexpr std::size_t kGateway = 12;
constexpr std::size_t kTcpPort = 20;
constexpr std::size_t kRemotePort = 22;
constexpr std::size_t kRemoteHost = 24;
constexpr std::size_t kNameTail = 84;  // characters 9..16 of the module name
constexpr std::size_t kNameHead = 112; // characters 1..8
} // namespace block0
constexpr std::size_t kBlock2TypeText = 93;
constexpr std::size_t kBlock3NameTail = 102;

Datagram queryBlockRequest(int block);
Datagram writeBlockRequest(int block, const std::vector<std::uint8_t>& data);
Datagram queryIdentityRequest();
// The set-IP-address message: identity bytes 24 and 25 and the new address (network order).
Datagram setAddressRequest(std::uint8_t id24, std::uint8_t id25, std::uint32_t newAddress);
Datagram closingRequest();

// The answer type a request is answered with.
std::uint8_t queryAnswerType(int block);
std::uint8_t writeAnswerType(int block);
constexpr std::uint8_t kIdentityAnswerType = 0xF7;

// The data after the header when the datagram has the type and at least minData bytes.
std::optional<std::vector<std::uint8_t>> answerData(const Datagram& datagram, std::uint8_t type,
                                                    std::size_t minData);

// Block-0 fields. Addresses are in network byte order, as in the block.
std::uint32_t readAddress(const std::vector<std::uint8_t>& block, std::size_t offset);
void writeAddress(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t address);
int readPort(const std::vector<std::uint8_t>& block, std::size_t offset);
void writePort(std::vector<std::uint8_t>& block, std::size_t offset, int port);
// "[name]" from the two name fields, each up to its first NUL (at most 8 characters each).
std::string bracketedModuleName(const std::vector<std::uint8_t>& block0);
// Writes a name of up to 16 characters, padded with NULs, into the two name fields.
void writeModuleName(std::vector<std::uint8_t>& block0, std::string_view name);

// "a.b.c.d" of an address in network order.
std::string dottedAddress(std::uint32_t address);
// "a.b.c.d" with four decimal numbers 0..255 and nothing else, in network order.
std::optional<std::uint32_t> parseDottedAddress(std::string_view text);
// The subnet mask of a host-bit count (all ones shifted left by it), network order.
std::uint32_t maskFromHostBits(int hostBits);
// Zero bits below the lowest one bit; 32 for a zero mask.
int hostBitsFromMask(std::uint32_t mask);

// The list entry of an answer to the search: "a.b.c.d-port" when the block's address is the
// source, else "[name]" followed by the source address and "-port".
std::string searchEntry(const std::vector<std::uint8_t>& block0, std::uint32_t source);

// The module name in square brackets that a port name refers to ("[LAB]" of
// "[LAB]10.0.0.7-10001:3"), or empty when it has none.
std::string bracketedPart(std::string_view name);
// The text before the last "-", or all of it.
std::string withoutPort(std::string_view name);

} // namespace qnlink

#endif
