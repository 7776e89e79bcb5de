// Arbitrary bytes as a reader's reply: the first byte chooses the framing and how the bytes
// arrive (in chunks of 1..8 bytes), the rest is the byte stream. The scanner and validator
// must never read outside the queue, and a complete frame must validate to its LEN bytes.
#include "devicelink/Identity.h"
#include "devicelink/Protocol.h"

#include <cstdint>
#include <cstdlib>

using namespace qnlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const Framing framing = (data[0] & 1) ? Framing::Crc : Framing::StxBcc;
    const std::size_t chunk = static_cast<std::size_t>((data[0] >> 1) & 7) + 1;
    Bytes queue;
    ReplyPhase phase = ReplyPhase::WaitHeader;
    for (std::size_t at = 1; at < size && phase != ReplyPhase::Complete; at += chunk) {
        const std::size_t end = at + chunk < size ? at + chunk : size;
        queue.insert(queue.end(), data + at, data + end);
        phase = scanReply(framing, queue);
        if (framing == Framing::StxBcc && phase == ReplyPhase::WaitBody && queue[0] != kStx) {
            std::abort(); // the body wait starts at the 0x02
        }
    }
    const ReplyResult result = validateReply(framing, queue);
    if (phase == ReplyPhase::Complete) {
        // A complete frame is never "too short"; 16 can still be the reader's own status.
        const std::uint8_t status = queue[replyHeaderSize(framing) - 2];
        if (result.error == 16 && status != 16) {
            std::abort();
        }
        const std::size_t len = queue[replyHeaderSize(framing) - 1];
        if (result.error == 0 && result.data.size() != len) {
            std::abort();
        }
    } else if (result.error == 0) {
        // Only a complete frame validates.
        std::abort();
    }
    if (result.error == 0) {
        const ReaderIdentity id = decodeIdentification(result.data);
        if (id.typeCode < 0 || id.typeCode > 0xFFF) {
            std::abort();
        }
        const std::string name = modelNameForReply(result.data);
        if (name.empty() || name.size() > 8) {
            std::abort();
        }
        (void)supportsReaderMode(id.typeCode);
    }
    return 0;
}
