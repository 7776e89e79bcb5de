#include "config/workflow/ReaderReads.h"

#include <algorithm>
#include <utility>

namespace veltra {
namespace {

// Model names have up to 30 characters; the buffer adds the terminating NUL.
constexpr int kModelNameBuffer = 31;

// Buffers of the report: the prefix block as the report has always read it, the other
// sequence blocks and the data block in full, the parameter block in its four bytes.
constexpr int kReportPrefixBuffer = 64;
constexpr int kReportBlockBuffer = 255;
constexpr int kReportParameterBuffer = static_cast<int>(kParameterBlockSize);

} // namespace

std::optional<Bytes> readBlock(ReaderLink& link, int handle, int block, int bufferSize) {
    Bytes buffer(static_cast<std::size_t>(std::max(bufferSize, 0)));
    const int n = link.readParameterBlock(handle, block, buffer.data(), bufferSize);
    if (n < 0) {
        return std::nullopt;
    }
    // The library never reports more than the buffer holds; clamp anyway, the count is input.
    buffer.resize(std::min(static_cast<std::size_t>(n), buffer.size()));
    return buffer;
}

DeviceTypeReply readDeviceType(ReaderLink& link, int handle) {
    DeviceTypeReply reply;
    std::array<char, kModelNameBuffer> name{};
    reply.length =
        link.readDeviceType(handle, reply.identity.data(), static_cast<int>(reply.identity.size()),
                            name.data(), static_cast<int>(name.size()));
    if (reply.length < 0) {
        reply.length = -1;
        return reply;
    }
    name.back() = '\0';
    reply.modelName = name.data();
    return reply;
}

ReportReads readReportBlocks(ReaderLink& link, int handle,
                             const std::function<void(const ReportReads&)>& sequenceRead) {
    ReportReads reads;
    const std::pair<std::optional<Bytes>*, int> sequences[] = {
        {&reads.prefix, 2}, {&reads.suffix, 3}, {&reads.pullOff, 5}, {&reads.separator, 4}};
    for (const auto& [into, block] : sequences) {
        *into =
            readBlock(link, handle, block, block == 2 ? kReportPrefixBuffer : kReportBlockBuffer);
        if (!*into) {
            return reads;
        }
        if (sequenceRead) {
            sequenceRead(reads);
        }
    }
    reads.data = readBlock(link, handle, 1, kReportBlockBuffer);
    if (reads.data) {
        reads.parameters = readBlock(link, handle, 6, kReportParameterBuffer);
    }
    return reads;
}

} // namespace veltra
