#include "devicelink/hid/ReportDescriptor.h"

#include <algorithm>
#include <vector>

namespace qnlink {

namespace {

// Global items that matter for the report layout; Push and Pop save and restore them.
struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;
constexpr std::uint8_t kTagInput = 0x8;
constexpr std::uint8_t kTagOutput = 0x9;
constexpr std::uint8_t kTagReportSize = 0x7;
constexpr std::uint8_t kTagReportId = 0x8;
constexpr std::uint8_t kTagReportCount = 0x9;
constexpr std::uint8_t kTagPush = 0xA;
constexpr std::uint8_t kTagPop = 0xB;
constexpr std::uint8_t kLongItem = 0xFE;
// More bits than any report can have: a descriptor claiming this is not trusted.
constexpr std::uint64_t kMaxReportBits = 8ULL * kMaxInputReportLength;

int lengthFromBits(std::uint64_t bits, int limit) {
    const auto bytes = static_cast<int>((bits + 7) / 8) + 1;
    return std::min(bytes, limit);
}

} // namespace

std::optional<ReportLengths> reportLengthsFromDescriptor(const std::uint8_t* data,
                                                         std::size_t size) {
    Globals globals;
    std::vector<Globals> stack;
    std::uint64_t inputBits = 0;
    std::uint64_t outputBits = 0;
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t prefix = data[pos];
        if (prefix == kLongItem) {
            if (pos + 1 >= size) {
                return std::nullopt;
            }
            pos += 3 + static_cast<std::size_t>(data[pos + 1]);
            continue;
        }
        const std::size_t dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (pos + 1 + dataSize > size) {
            return std::nullopt; // item cut short
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i) {
            value |= static_cast<std::uint32_t>(data[pos + 1 + i]) << (8 * i);
        }
        const std::uint8_t type = (prefix >> 2) & 3;
        const std::uint8_t tag = prefix >> 4;
        if (type == kTypeGlobal) {
            switch (tag) {
            case kTagReportSize:
                globals.reportSize = value;
                break;
            case kTagReportCount:
                globals.reportCount = value;
                break;
            case kTagReportId:
                globals.reportId = value;
                break;
            case kTagPush:
                stack.push_back(globals);
                break;
            case kTagPop:
                if (stack.empty()) {
                    return std::nullopt;
                }
                globals = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == kTypeMain && globals.reportId == 0 &&
                   (tag == kTagInput || tag == kTagOutput)) {
            std::uint64_t& bits = tag == kTagInput ? inputBits : outputBits;
            bits += static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount;
            if (bits > kMaxReportBits) {
                return std::nullopt;
            }
        }
        pos += 1 + dataSize;
    }
    if (inputBits == 0 && outputBits == 0) {
        return std::nullopt;
    }
    ReportLengths lengths;
    if (inputBits > 0) {
        lengths.input = lengthFromBits(inputBits, kMaxInputReportLength);
    }
    if (outputBits > 0) {
        lengths.output = lengthFromBits(outputBits, kMaxOutputReportLength);
    }
    return lengths;
}

} // namespace qnlink
