// The LAN operations of the Qn interface over the module configuration access. Each returns
// the Qn result.
#ifndef QNLINK_LANOPERATIONS_H
#define QNLINK_LANOPERATIONS_H

#include <cstdint>
#include <string>
#include <vector>

namespace qnlink {

// The texts lanReadSettings gives for a module's block 0: "[name]-port", "a.b.c.d-port" (empty
// for the address 0.0.0.0), the subnet mask and the gateway.
struct LanSettingsTexts {
    std::string name;
    std::string address;
    std::string subnetMask;
    std::string gateway;
};
LanSettingsTexts lanSettingsTexts(const std::vector<std::uint8_t>& block0);

// The TCP client's remote host in a module's block 0: its address (empty while the client is
// off) and port (0 while off). False for a block that is not exactly a block-0 answer.
bool lanRemoteHost(const std::vector<std::uint8_t>& block0, std::string& address, int& port);

// Results of the argument checks.
constexpr int kLanMissingOutput = -17;

int lanSearch(bool readersOnly, char* buffer, int size);
int lanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                    char* gateway);
int lanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                  const char* gateway);
int lanReadRemoteHost(const char* portName, char* address, int* port);
int lanWriteRemoteHost(const char* portName, const char* address, int port);

} // namespace qnlink

#endif
