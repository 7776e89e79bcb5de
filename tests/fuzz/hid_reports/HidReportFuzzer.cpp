// A USB HID reader that sends any input reports (of every length, with any length byte) and
// any report descriptor: the connection opens through hidapi, identifies the reader, runs
// control commands and data exchanges, and must never read or write beyond a report or a
// caller's buffer, nor give back more than was asked for.
#include "tests/fuzz/hid_reports/FuzzHidLibrary.h"

#include "devicelink/PortName.h"
#include "devicelink/RWPort.h"
#include "devicelink/hid/HidEnumeration.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace qnlink;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The caller's buffer with guard bytes behind it.
struct Guarded {
    explicit Guarded(std::size_t size) : bytes(size + 8, 0xA5), size(size) {}
    unsigned char* data() { return bytes.data(); }
    bool intact() const {
        for (std::size_t i = size; i < bytes.size(); ++i) {
            if (bytes[i] != 0xA5) {
                return false;
            }
        }
        return true;
    }
    std::vector<unsigned char> bytes;
    std::size_t size;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QN_HIDAPI_LIBRARY", QN_FUZZ_HIDAPI_LIBRARY, 1);
    setenv("QN_SYSFS_ROOT", "/nonexistent", 1); // the lengths come from the descriptor only
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qnFuzzHidSetReader(data, size);
    const PortName name = parsePortName(hidReaderName(qnFuzzHidSerial()));
    if (name.kind != LinkKind::Hid) {
        return 0; // a serial number that reads as another kind of port name
    }
    CQN_RW_Port port(name, 5, false);
    if (port.openLink(0, 0) != 0) {
        return 0;
    }
    port.setTimeoutMs(5);
    (void)port.identify();

    const unsigned char query[] = {0x2A, 0x01};
    Guarded answer(16);
    const int answered = port.hidCommand(query, sizeof query, answer.data(), 16);
    require(answered <= 16 && answer.intact());
    require(answered < 0 || (answered > 2 && answer.bytes[0] == query[0]));

    Guarded block(13);
    require(port.readParameterBlock(1, block.data(), 13) <= 13 && block.intact());
    Guarded reply(4);
    require(port.transact(0x80, query, sizeof query, reply.data(), 4) <= 4 && reply.intact());
    Guarded received(7);
    require(port.readReceived(received.data(), 7) <= 7 && received.intact());
    port.closeLink();
    return 0;
}
