// The LAN operations of the Qn interface over the module configuration access. Each returns
// the Qn result.
#ifndef QNLINK_LANOPERATIONS_H
#define QNLINK_LANOPERATIONS_H

namespace qnlink {

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
