// The PC's network adapters that searches and configuration accesses run on.
#ifndef QNLINK_NETWORKADAPTER_H
#define QNLINK_NETWORKADAPTER_H

#include <cstdint>
#include <string>
#include <vector>

namespace qnlink {

struct NetworkAdapter {
    std::string interfaceName;
    std::uint32_t address = 0; // network byte order
    std::uint32_t mask = 0;    // network byte order
    unsigned index = 0;        // interface index

    std::uint32_t directedBroadcast() const { return address | ~mask; }
    bool contains(std::uint32_t host) const { return (host & mask) == (address & mask); }
};

// Every IPv4 address other than 0.0.0.0 of every Ethernet or Wi-Fi interface that is up
// (hardware type 1, which Wi-Fi interfaces share), in the order the system lists them.
std::vector<NetworkAdapter> listNetworkAdapters();

// The local address a TCP connection to host binds to: the address the routing table would
// use, when one of the adapters has it and its subnet contains host; else the first adapter's
// address; 0 (any) without adapters.
std::uint32_t localAddressFor(std::uint32_t host, const std::vector<NetworkAdapter>& adapters);

} // namespace qnlink

#endif
