#include "config/ConfigChecks.h"

#include "config/ReaderConfiguration.h"
#include "config/ini/CIniEx.h"
#include "resources/strings/StringTable.h"

namespace veltra {
namespace {

struct Range {
    int low;
    int high;
};

struct ChipLimits {
    std::uint8_t chip;
    Range single[2]; // a second range with low > high is unused
    Range start;
    int blockCount; // blocks from 0 to the end of the readable memory
    int bytesPerBlock;
};

constexpr Range kUnused{1, 0};

constexpr ChipLimits kLimits[] = {
    {chip::Hitag2, {{0, 7}, kUnused}, {0, 7}, 8, 4},
    {chip::Q5, {{0, 7}, kUnused}, {0, 7}, 8, 4},
    {chip::HitagS, {{0, 63}, kUnused}, {0, 63}, 64, 4},
    {chip::Hitag1, {{0, 1}, {16, 63}}, {16, 63}, 64, 4},
    {chip::Titan, {{0, 33}, kUnused}, {0, 33}, 34, 4},
    {chip::EM4569, {{0, 1}, {4, 15}}, {5, 15}, 16, 4},
    {chip::EM4305, {{0, 1}, {3, 13}}, {5, 13}, 14, 4},
    {chip::ATA5577, {{0, 11}, kUnused}, {0, 11}, 12, 4},
    {chip::ATA5575, {{0, 15}, kUnused}, {0, 15}, 16, 1},
    {chip::SIC7888, {{0, 43}, kUnused}, {0, 43}, 44, 4},
    {chip::Tiris, {{0, 17}, kUnused}, {0, 17}, 18, 8},
};

constexpr int kMaxRegister = 255;

const ChipLimits* limitsFor(std::uint8_t chipCode) {
    for (const ChipLimits& limits : kLimits) {
        if (limits.chip == chipCode) {
            return &limits;
        }
    }
    return nullptr;
}

bool inRange(Range r, int value) {
    return value >= r.low && value <= r.high;
}

CheckFailure failure(int id, CheckField field, int low = 0, int high = 0) {
    return CheckFailure{id, field, low, high};
}

CheckResult maxChars(const std::string& text, std::size_t limit, CheckField field) {
    if (text.size() > limit) {
        return failure(kStrMaxCharacters, field, static_cast<int>(limit));
    }
    return std::nullopt;
}

CheckResult range(int value, int low, int high, CheckField field) {
    if (value < low || value > high) {
        return failure(kStrIntegerRange, field, low, high);
    }
    return std::nullopt;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

constexpr CheckField kBlockFields[4] = {CheckField::Block1, CheckField::Block2, CheckField::Block3,
                                        CheckField::Block4};

} // namespace

QString CheckFailure::message() const {
    switch (stringId) {
    case kStrIntegerRange:
        return strf(stringId, low, high);
    case kStrMaxCharacters:
        return strf(stringId, low);
    default:
        return str(stringId);
    }
}

int fieldValue(const std::string& text) {
    return CIniEx::parseLeadingInt(text);
}

bool chipHasBlockLimits(std::uint8_t chipCode) {
    return limitsFor(chipCode) != nullptr;
}

bool singleBlockAllowed(std::uint8_t chipCode, int block) {
    const ChipLimits* limits = limitsFor(chipCode);
    if (limits == nullptr) {
        return block >= 0 && block <= kMaxRegister;
    }
    return inRange(limits->single[0], block) || inRange(limits->single[1], block);
}

bool startBlockAllowed(std::uint8_t chipCode, int block) {
    const ChipLimits* limits = limitsFor(chipCode);
    if (limits == nullptr) {
        return block >= 0 && block <= kMaxRegister;
    }
    return inRange(limits->start, block);
}

int bytesAvailable(std::uint8_t chipCode, int startBlock) {
    const ChipLimits* limits = limitsFor(chipCode);
    if (limits == nullptr) {
        return kMaxRegister;
    }
    return (limits->blockCount - startBlock) * limits->bytesPerBlock;
}

CheckResult checkDataPage(const DataPageEntries& e) {
    // Field limits, in the order of the page's fields.
    for (int i = 0; i < 4; ++i) {
        if (auto f = maxChars(e.blocks[i], 2, kBlockFields[i])) {
            return f;
        }
    }
    if (auto f = maxChars(e.password, 8, CheckField::Password)) {
        return f;
    }
    if (auto f = maxChars(e.typeIdBefore, 1, CheckField::TypeIdBefore)) {
        return f;
    }
    if (auto f = maxChars(e.typeIdAfter, 1, CheckField::TypeIdAfter)) {
        return f;
    }
    if (auto f = range(e.characterCount, 1, 32, CheckField::CharacterCount)) {
        return f;
    }
    if (auto f = range(e.usedBytesFrom, 1, 16, CheckField::UsedBytesFrom)) {
        return f;
    }
    if (auto f = range(e.usedBytesTo, 1, 16, CheckField::UsedBytesTo)) {
        return f;
    }

    const bool blockMode =
        e.selection == DataSelection::SingleBlocks || e.selection == DataSelection::BlockSequence;
    if (blockMode && (e.chip == chip::Hitag2 || e.chip == chip::ATA5577Pw) && !e.password.empty()) {
        if (e.password.size() != 8) {
            return failure(kStrPasswordLength, CheckField::Password);
        }
        for (char c : e.password) {
            if (!isHex(c)) {
                return failure(kStrPasswordHex, CheckField::Password);
            }
        }
    }

    if (e.selection == DataSelection::SingleBlocks) {
        bool any = false;
        for (const std::string& block : e.blocks) {
            any = any || !block.empty();
        }
        if (!any) {
            return failure(kStrNoBlockEntered, CheckField::Block1);
        }
        for (int i = 0; i < 4; ++i) {
            if (!singleBlockAllowed(e.chip, fieldValue(e.blocks[i]))) {
                return failure(kStrBlockOutOfRange, kBlockFields[i]);
            }
        }
    }

    if (e.selection == DataSelection::BlockSequence) {
        const int start = fieldValue(e.startBlock);
        if (!startBlockAllowed(e.chip, start)) {
            return failure(kStrStartBlockOutOfRange, CheckField::StartBlock);
        }
        // A length below 1 would reach the reader as a wrapped-around byte count.
        const int length = fieldValue(e.lengthInBytes);
        if (length < 1 || length > bytesAvailable(e.chip, start)) {
            return failure(kStrLengthOutOfRange, CheckField::LengthInBytes);
        }
    }
    return std::nullopt;
}

CheckResult checkParameterPage(const ParameterPageEntries& e) {
    if (auto f = maxChars(e.prompt, 1, CheckField::Prompt)) {
        return f;
    }
    if (auto f = range(e.cycleTimeMs, kMinTimeMs, kMaxTimeMs, CheckField::CycleTime)) {
        return f;
    }
    if (auto f = range(e.timeoutMs, kMinTimeMs, kMaxTimeMs, CheckField::Timeout)) {
        return f;
    }
    return std::nullopt;
}

} // namespace veltra
