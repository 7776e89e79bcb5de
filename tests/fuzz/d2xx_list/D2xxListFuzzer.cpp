// The D2XX device list as a library may hand it out: any record counts in the two listing
// calls, serial numbers that fill their field without a terminating zero, opened devices. The
// listing of USB readers must stay within the records and the caller's buffer and list only
// free devices' serial numbers of the maker's product numbers, each once.
#include "tests/fuzz/d2xx_list/FuzzD2xxLibrary.h"

#include "devicelink/MultiString.h"
#include "devicelink/ftdi/FTD2xxPort.h"
#include "qnlink.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QN_FTD2XX_LIBRARY", QN_FUZZ_D2XX_LIBRARY, 1);
    setenv("QN_HIDAPI_LIBRARY", "/nonexistent/libhidapi.so", 1); // no HID readers in the list
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    qnFuzzD2xxSetList(data + 1, size - 1);

    qnlink::CFTD2xxPort library;
    const std::vector<std::string> serials = library.freeSerialNumbers();
    // A list longer than any PC's is not read at all: the library would write all of it.
    const unsigned reported = size >= 3 ? data[1] | data[2] << 8 : 0;
    require(reported <= 256 || serials.empty());
    for (const std::string& serial : serials) {
        require(!serial.empty() && serial.size() <= 16 && serial.find('\0') == std::string::npos);
    }

    // The caller's buffer, of the size the first byte gives, with a guard byte behind it.
    const int bufferSize = data[0];
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize) + 1, '\x5A');
    const int used = QnListUsbDevices(buffer.data(), bufferSize);
    require(used >= 0 && used <= bufferSize && buffer[bufferSize] == '\x5A');
    if (used > 0) {
        require(buffer[used - 1] == '\0');
        std::set<std::string> seen;
        for (const char* entry = buffer.data(); *entry != '\0'; entry += std::strlen(entry) + 1) {
            const std::string name(entry);
            require(qnlink::isReaderProductNumber(name) && seen.insert(name).second);
            require(std::find(serials.begin(), serials.end(), name) != serials.end());
        }
    }
    return 0;
}
