#include "config/ReaderConfiguration.h"

#include "keys/KeySequence.h"

#include <algorithm>

namespace veltra {
namespace {

std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t index) {
    return index < bytes.size() ? bytes[index] : 0;
}

std::uint8_t timeByte(int ms) {
    return static_cast<std::uint8_t>(std::clamp(ms / 100, 0, 255));
}

constexpr ChipEntry kChips[] = {
    {"Hitag1", chip::Hitag1},     {"Hitag2", chip::Hitag2},          {"HitagS", chip::HitagS},
    {"Q5 (ATA5555)", chip::Q5},   {"ATA5577", chip::ATA5577},        {"ATA5575", chip::ATA5575},
    {"ATA5551", chip::ATA5551},   {"Titan (EM4450)", chip::Titan},   {"EM4569", chip::EM4569},
    {"EM4305", chip::EM4305},     {"Hitag µ", chip::HitagMicro},     {"SIC7888", chip::SIC7888},
    {"Tiris (HDX)", chip::Tiris}, {"ATA5577 + PW", chip::ATA5577Pw},
};

constexpr FormatEntry kFormats[] = {
    {"Unique", format::Unique, 17},
    {"Zem 16 Bit", format::Zem16Bit, 18},
    {"Unique XL", format::UniqueXL, 19},
    {"FDX-B (ISO11784)", format::FdxBIso, 0},
    {"FDX-A", format::FdxA, 0},
    {"HDX (ISO11784)", format::HdxIso, 0},
    {"FDX-B (EN14803)", format::FdxBEn, 0},
    {"HDX (EN14803)", format::HdxEn, 0},
    {"Zem 12 Bit", format::Zem12Bit, 25},
};

constexpr DisplayModeEntry kDisplayModes[] = {
    {0, "Hexadezimal (ABCDEF)"},
    {1, "Dezimal"},
    {2, "ASCII"},
    {3, "Dezimal (ohne Nullen)"},
    {4, "Hexadezimal (abcdef)"},
    {5, "ASCII (ohne Nullbytes)"},
};

constexpr ModulationEntry kModulations[] = {
    {0, "Manchester(RF/64)", 0},    {5, "Manchester(RF/32)", 1}, {6, "Diff.Bi-Phase(RF/64)", 2},
    {1, "Diff.Bi-Phase(RF/32)", 3}, {2, "FSK2a(RF/50)", 4},
};

constexpr std::uint8_t kModSpeedRf32 = 5;

} // namespace

ReaderParameters defaultReaderParameters() {
    ReaderParameters p;
    p.operatingMode = 0;
    p.cycleTimeMs = 1000;
    p.baudRate = 19200;
    p.timeoutMs = 500;
    p.prompt = '?';
    return p;
}

Bytes encodeDataFormat(const DataFormatRecord& r) {
    Bytes out(kDataFormatSize, 0);
    out[0] = r.transponderType;
    std::copy(r.registers.begin(), r.registers.end(), out.begin() + 1);
    out[5] = kNoEntry;
    out[6] = r.alignment;
    out[7] = r.display;
    out[8] = r.length;
    out[9] = r.validBytes;
    out[10] = r.validBytesFrom;
    out[11] = r.typeIdLeft;
    out[12] = r.typeIdRight;
    out[13] = r.modSpeed;
    std::copy(r.byteMasks.begin(), r.byteMasks.end(), out.begin() + 14);
    return out;
}

void decodeDataFormat(std::span<const std::uint8_t> bytes, std::size_t offset,
                      DataFormatRecord& r) {
    auto at = [&](std::size_t i) { return offset > bytes.size() ? 0 : byteAt(bytes, offset + i); };
    r.transponderType = at(0);
    for (std::size_t i = 0; i < 4; ++i) {
        r.registers[i] = at(1 + i);
        r.byteMasks[i] = at(14 + i);
    }
    // Offset 5 is a fixed filler and is never looked at.
    r.alignment = at(6);
    r.display = at(7);
    r.length = at(8);
    r.validBytes = at(9);
    r.validBytesFrom = at(10);
    r.typeIdLeft = at(11);
    r.typeIdRight = at(12);
    r.modSpeed = at(13);
    r.hitag2Password.clear();
    r.ata5577Password.clear();
}

Bytes encodeDataBlock(const ReaderConfiguration& config, std::uint32_t features) {
    Bytes out = encodeDataFormat(config.data[0]);
    if ((features & kSecondDataOutputFeature) != 0 && config.data[1].active != 0) {
        out.push_back(0);
        out.push_back(0);
        const Bytes second = encodeDataFormat(config.data[1]);
        out.insert(out.end(), second.begin(), second.end());
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

int decodeDataBlock(std::span<const std::uint8_t> bytes, ReaderConfiguration& config) {
    int decoded = 0;
    if (bytes.size() > 12) {
        // A 13-byte block comes from an older reader without "ModSpeed" and byte masks; the
        // missing bytes read as 0 either way.
        decodeDataFormat(bytes, 0, config.data[0]);
        ++decoded;
    }
    if (bytes.size() >= kTwoRecordBlockSize) {
        decodeDataFormat(bytes, kSecondRecordOffset, config.data[1]);
        ++decoded;
    }
    return decoded;
}

Bytes encodeParameterBlock(const ReaderParameters& p) {
    Bytes block(kParameterBlockSize);
    block[parameterByte::Mode] = p.operatingMode;
    block[parameterByte::CycleTime] = timeByte(p.cycleTimeMs);
    block[parameterByte::Prompt] = static_cast<std::uint8_t>(p.prompt);
    block[parameterByte::Timeout] = timeByte(p.timeoutMs);
    return block;
}

bool decodeParameterBlock(std::span<const std::uint8_t> bytes, ReaderParameters& p) {
    if (bytes.size() < kParameterBlockSize) {
        return false;
    }
    p.operatingMode = bytes[parameterByte::Mode];
    p.cycleTimeMs = bytes[parameterByte::CycleTime] * 100;
    p.prompt = static_cast<char>(bytes[parameterByte::Prompt]);
    p.timeoutMs = bytes[parameterByte::Timeout] * 100;
    return true;
}

Bytes applyAlignment(std::span<const std::uint8_t> bytes, std::uint8_t alignment) {
    Bytes out(bytes.begin(), bytes.end());
    if ((alignment & kReverseByteOrder) != 0) {
        std::reverse(out.begin(), out.end());
    }
    for (std::uint8_t& b : out) {
        if ((alignment & kReverseNibbleBits) != 0) {
            auto reverse4 = [](unsigned n) {
                return ((n & 1u) << 3) | ((n & 2u) << 1) | ((n & 4u) >> 1) | ((n & 8u) >> 3);
            };
            b = static_cast<std::uint8_t>((reverse4(b >> 4) << 4) | reverse4(b & 0x0Fu));
        }
        if ((alignment & kSwapNibbles) != 0) {
            b = static_cast<std::uint8_t>((b << 4) | (b >> 4));
        }
    }
    return out;
}

std::string alignmentIllustration(std::uint8_t alignment) {
    const std::uint8_t example[] = {0x12, 0x37};
    std::string out;
    for (std::uint8_t b : applyAlignment(example, alignment)) {
        if (!out.empty()) {
            out += "  ";
        }
        for (int bit = 7; bit >= 0; --bit) {
            out += ((b >> bit) & 1) != 0 ? '1' : '0';
            if (bit == 4) {
                out += ' ';
            }
        }
    }
    return out;
}

EncodedPassword encodePassword(std::string_view text) {
    EncodedPassword out;
    if (text.size() != 8) {
        out.result = PasswordResult::None;
        return out;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        const std::uint8_t digit = HexDigitValue(c);
        if (digit == 0xFF) {
            out.result = PasswordResult::Invalid;
            return out;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        out.bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    out.result = PasswordResult::Valid;
    return out;
}

bool passwordBlocksProgramming(std::string_view text) {
    const PasswordResult result = encodePassword(text).result;
    return result == PasswordResult::Invalid || (result == PasswordResult::None && !text.empty());
}

FilterKey filterKeyFor(std::uint8_t transponderType) {
    if (transponderType == 0) {
        return {"Hitag2", "4A"};
    }
    switch (transponderType & 0x7F) {
    case chip::Hitag1:
        return {"Hitag1", "4A"};
    case chip::HitagS:
        return {"HitagS", "4A"};
    case chip::Q5:
        return {"Q5", "4B"};
    case chip::Titan:
        return {"Titan", "42"};
    case chip::EM4569:
        return {"EM4569", "40"};
    default:
        return {"Hitag2", "4A"};
    }
}

std::uint8_t filterByteFromText(std::string_view text) {
    constexpr std::uint8_t fallback = 0x4A;
    if (text.size() < 2) {
        return fallback;
    }
    const std::uint8_t high = HexDigitValue(text[0]);
    const std::uint8_t low = HexDigitValue(text[1]);
    if (high == 0xFF || low == 0xFF) {
        return fallback;
    }
    return static_cast<std::uint8_t>(high * 16 + low);
}

std::uint8_t filterByteFor(std::uint8_t transponderType,
                           const std::function<std::string(const FilterKey&)>& valueOf) {
    const FilterKey key = filterKeyFor(transponderType);
    return filterByteFromText(valueOf ? valueOf(key) : std::string(key.defaultValue));
}

std::span<const ChipEntry> chipTable() {
    return kChips;
}

const char* chipName(std::uint8_t code) {
    const int index = chipIndex(code);
    return index < 0 ? nullptr : kChips[index].name;
}

int chipIndex(std::uint8_t code) {
    for (std::size_t i = 0; i < std::size(kChips); ++i) {
        if (kChips[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::span<const FormatEntry> formatTable() {
    return kFormats;
}

std::uint8_t formatForRegister(std::uint8_t value, bool firstPage) {
    const std::uint8_t masked = value & static_cast<std::uint8_t>(~kRf32FormatFlag);
    if (masked >= format::Unique && masked <= format::UniqueXL) {
        return masked;
    }
    if (value == format::Zem12Bit || value == 25) {
        return format::Zem12Bit;
    }
    if (value >= format::FdxBIso && value <= format::HdxEn) {
        return value;
    }
    if (firstPage && (masked < 2 || masked > 9)) {
        return format::Unique;
    }
    return 0;
}

std::uint8_t formatRegisterFor(std::uint8_t fmt, std::uint8_t modSpeed) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.code == fmt) {
            return (modSpeed == kModSpeedRf32 && entry.rf32Code != 0) ? entry.rf32Code : fmt;
        }
    }
    return fmt;
}

std::span<const DisplayModeEntry> displayModeTable() {
    return kDisplayModes;
}

std::span<const ModulationEntry> modulationTable() {
    return kModulations;
}

int modulationListPosition(std::uint8_t code) {
    for (const ModulationEntry& entry : kModulations) {
        if (entry.code == code) {
            return entry.listPosition;
        }
    }
    return -1;
}

std::uint8_t modulationCodeForPosition(int position) {
    if (position < 1 || position > 4) {
        return 0;
    }
    for (const ModulationEntry& entry : kModulations) {
        if (entry.listPosition == position) {
            return entry.code;
        }
    }
    return 0;
}

const char* modulationName(std::uint8_t code) {
    for (const ModulationEntry& entry : kModulations) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

int baudRateOf(int baudValue) {
    return baudValue / 100 * 100;
}

int serialFormatCode(int baudValue) {
    const int rest = baudValue % 100;
    return (rest >= 0 && rest < 4) ? rest : 0;
}

SerialFormat serialFormatFor(int code) {
    switch (code) {
    case 1:
        return {Parity::Even, 1};
    case 2:
        return {Parity::Odd, 1};
    case 3:
        return {Parity::None, 2};
    default:
        return {Parity::None, 1};
    }
}

int serialFormatCodeFor(Parity parity, int stopBits) {
    switch (parity) {
    case Parity::Even:
        return 1;
    case Parity::Odd:
        return 2;
    case Parity::None:
        break;
    }
    return stopBits == 2 ? 3 : 0;
}

int powerOnIndexFromStored(int storedValue) {
    switch (storedValue & 3) {
    case 0:
        return 0;
    case 1:
        return 1;
    default:
        return 2;
    }
}

int powerOnStoredValueFor(int index) {
    switch (index) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return 3;
    default:
        return -1;
    }
}

} // namespace veltra
