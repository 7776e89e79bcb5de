// The list of network modules that the IP address search shows: the maker's readers (number 1)
// and other modules (number 2), from the library's two broadcast searches.
#pragma once

#include "config/workflow/ReaderLink.h"

#include <string>
#include <vector>

namespace veltra {

struct LanModuleEntry {
    static constexpr int kReader = 1;
    static constexpr int kOtherModule = 2;
    std::string name; // the library's network name, e.g. 192.168.0.20-10001 or [LAB]
    int number = kReader;
};

class LanModuleSearch {
public:
    static constexpr int kBufferSize = 2500;

    // Readers first, as the reader search lists them; then every module of the full search:
    // one that is already listed (compared up to its first "]", case ignored) takes that place
    // with its full name, any other is added as another maker's module.
    static std::vector<LanModuleEntry> run(ReaderLink& link);
    // The interface name for a chosen entry: "LAN: " and the entry, cut after its first "]".
    static std::string interfaceName(const std::string& entry);
};

} // namespace veltra
