#include "devicelink/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qnlink {

bool debugOutputOn() {
    const char* value = std::getenv("QN_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void debugOutput(std::string_view text) {
    if (!debugOutputOn()) {
        return;
    }
    const std::string line = std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace qnlink
