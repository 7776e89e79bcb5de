// Feeds arbitrary bytes to the reader side: the first byte picks the reader type and how the
// rest is cut into chunks; every frame found is answered by the reader model, and the rest of
// the input is also read as a state file. Nothing may crash or overrun.
#include "tools/qn-sim/FrameScanner.h"
#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/SimFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr int kTypes[] = {0x244, 0x029, 0x231, 0x041, 0x010, 0x573};
    const std::uint8_t pick = data[0];
    qnsim::ReaderSetup setup;
    setup.type = kTypes[pick % std::size(kTypes)];
    setup.version = static_cast<char>('0' + (pick >> 4));
    qnsim::ReaderModel model(setup);
    qnsim::FrameScanner scanner((pick & 1) != 0 || (pick & 2) == 0, (pick & 2) != 0);
    const std::size_t chunk = 1 + (pick >> 3) % 17;
    for (std::size_t pos = 1; pos < size; pos += chunk) {
        const std::size_t n = std::min(chunk, size - pos);
        scanner.feed(data + pos, n);
        while (auto request = scanner.next(pos + n >= size)) {
            const qnsim::Reply reply = model.handle(*request);
            (void)qnsim::encodeFrame(request->framing, 1, reply.status, reply.data);
        }
        model.readerModeByte(data[pos]);
    }
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    model.applyState(qnsim::ReaderModel::parseStateText(text));
    (void)model.stateText();
    return 0;
}
