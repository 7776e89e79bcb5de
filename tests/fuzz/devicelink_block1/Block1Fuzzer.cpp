// Block 1 of readers with the older layout, both ways. Arbitrary input as an old reply and as
// a current block: sizes must hold, and after a round trip the
// conversion is stable.
#include "devicelink/Protocol.h"

#include <cstdint>
#include <cstdlib>

using namespace qnlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    Bytes current;
    const bool read = block1FromOldLayout(input, current);
    if (read != (size >= kBlock1OldMinimum) || (read && current.size() != kBlock1CurrentSize)) {
        std::abort();
    }
    for (const bool extra : {false, true}) {
        Bytes old;
        const bool written = block1ToOldLayout(input, extra, old);
        if (written != (size >= kBlock1WriteMinimum)) {
            std::abort();
        }
        if (written && (old.size() != (extra ? 12u : 11u) || old[0] != 0x0A)) {
            std::abort();
        }
        if (!written) {
            continue;
        }
        // Codes the older layout cannot hold are lost on the first trip through it; after
        // that a block converts back and forth unchanged.
        Bytes once, twice, thrice, old2, old3;
        if (!block1FromOldLayout(old, once) || !block1ToOldLayout(once, extra, old2) ||
            !block1FromOldLayout(old2, twice) || !block1ToOldLayout(twice, extra, old3) ||
            !block1FromOldLayout(old3, thrice) || twice != thrice) {
            std::abort();
        }
    }
    return 0;
}
