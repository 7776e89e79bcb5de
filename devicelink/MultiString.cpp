#include "devicelink/MultiString.h"

#include <cstring>

namespace qnlink {

int writeMultiString(const std::vector<std::string>& entries, char* buffer, int size) {
    if (buffer == nullptr || size < 1) {
        return 0;
    }
    const auto capacity = static_cast<std::size_t>(size);
    std::size_t used = 0;
    for (const std::string& entry : entries) {
        const std::size_t length = std::strlen(entry.c_str()); // up to an embedded NUL
        if (length == 0) {
            continue;
        }
        if (used + length + 1 + 1 > capacity) {
            break;
        }
        std::memcpy(buffer + used, entry.c_str(), length + 1);
        used += length + 1;
    }
    buffer[used] = '\0';
    return static_cast<int>(used + 1);
}

bool isReaderProductNumber(const std::string& entry) {
    if (entry.size() < 4) {
        return false;
    }
    int number = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (entry[i] < '0' || entry[i] > '9') {
            return false;
        }
        number = number * 10 + (entry[i] - '0');
    }
    return number == 1100 || number == 1124 || number == 1136 || number == 1140 ||
           (number >= 1310 && number <= 1319) || (number >= 1620 && number <= 1639) ||
           (number >= 1650 && number <= 1659) || number == 1680 ||
           (number >= 2000 && number <= 2099);
}

} // namespace qnlink
