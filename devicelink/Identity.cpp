#include "devicelink/Identity.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace qnlink {

namespace {

// Every model the tool knows, in the order in which models are looked up. A model's name is
// "QN-V" followed by its type code, so that a name always tells its code.
constexpr std::array<int, 77> kModelTypes = {
    0x001, 0x002, 0x003, 0x010, 0x011, 0x021, 0x022, 0x023, 0x024, 0x025, 0x029, 0x031, 0x039,
    0x041, 0x044, 0x045, 0x049, 0x050, 0x051, 0x052, 0x053, 0x054, 0x055, 0x061, 0x064, 0x065,
    0x069, 0x071, 0x081, 0x109, 0x211, 0x214, 0x215, 0x219, 0x231, 0x240, 0x241, 0x242, 0x243,
    0x244, 0x245, 0x250, 0x251, 0x252, 0x253, 0x254, 0x255, 0x522, 0x532, 0x271, 0x273, 0x284,
    0x290, 0x291, 0x293, 0x294, 0x541, 0x542, 0x543, 0x544, 0x545, 0x550, 0x551, 0x552, 0x553,
    0x554, 0x555, 0x560, 0x561, 0x562, 0x563, 0x564, 0x565, 0x570, 0x571, 0x572, 0x573};

template <std::size_t N>
bool contains(const std::array<int, N>& values, int v) {
    return std::find(values.begin(), values.end(), v) != values.end();
}

int hexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

std::uint8_t decodeVersionCharacter(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<std::uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::uint8_t>(c - 'a' + 36);
    }
    return 255;
}

int decodeTypeCode(std::span<const std::uint8_t> threeChars) {
    if (threeChars.size() < 3) {
        return -1;
    }
    int code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const int d = hexDigit(threeChars[i]);
        if (d < 0) {
            return -1;
        }
        code = code * 16 + d;
    }
    return code;
}

bool hasExtendedParameters(int typeCode) {
    constexpr std::array<int, 11> families = {0x050, 0x240, 0x250, 0x280, 0x290, 0x520,
                                              0x530, 0x540, 0x550, 0x560, 0x570};
    return contains(families, typeCode & 0xFF0) || typeCode == 0x231 || typeCode == 0x273;
}

bool hasExtraBlock1Byte(int typeCode, std::uint8_t firmwareVersion) {
    if (typeCode <= 0x010) {
        return false;
    }
    const int family = typeCode & 0xFF0;
    if (family == 0x020 || family == 0x060) {
        return firmwareVersion >= 7;
    }
    constexpr std::array<int, 3> families = {0x040, 0x100, 0x210};
    constexpr std::array<int, 3> types = {0x039, 0x081, 0x271};
    return contains(families, family) || contains(types, typeCode);
}

ReaderIdentity decodeIdentification(std::span<const std::uint8_t> reply) {
    ReaderIdentity id;
    if (reply.size() > 4) {
        id.typeCode = 0x242;
        id.firmwareVersion = 3;
        id.extendedParameters = true;
        return id;
    }
    if (reply.size() < 4) {
        return id;
    }
    // A type field that is no hexadecimal number leaves the type unknown (0).
    id.typeCode = std::max(decodeTypeCode(reply.first(3)), 0);
    id.firmwareVersion = decodeVersionCharacter(reply[3]);
    id.extendedParameters = hasExtendedParameters(id.typeCode);
    id.extraBlock1Byte =
        !id.extendedParameters && hasExtraBlock1Byte(id.typeCode, id.firmwareVersion);
    return id;
}

std::string modelNameForType(int typeCode) {
    if (!contains(kModelTypes, typeCode)) {
        return {};
    }
    char name[16];
    std::snprintf(name, sizeof name, "QN-V%03X", static_cast<unsigned>(typeCode));
    return name;
}

int modelTableSize() {
    return static_cast<int>(kModelTypes.size());
}

std::string modelNameForReply(std::span<const std::uint8_t> reply) {
    if (reply.size() < 3) {
        return "---";
    }
    const int type = reply.size() > 4 ? 0x242 : decodeTypeCode(reply.first(3));
    std::string name = modelNameForType(type);
    if (!name.empty()) {
        return name;
    }
    name = "QN-#";
    for (std::size_t i = 0; i < 3; ++i) {
        // The characters as received; a NUL would cut the name short, so it shows as '?'.
        name.push_back(reply[i] == 0 ? '?' : static_cast<char>(reply[i]));
    }
    return name;
}

int supportsReaderMode(int typeCode) {
    if (typeCode <= 0x010) {
        return 0;
    }
    constexpr std::array<int, 4> without = {0x039, 0x081, 0x271, 0x273};
    if (contains(without, typeCode)) {
        return 0;
    }
    const int family = typeCode & 0xFF0;
    if (family == 0x280 || family == 0x290) {
        return 0;
    }
    constexpr std::array<int, 5> byBit2 = {0x020, 0x040, 0x060, 0x100, 0x210};
    if (contains(byBit2, family)) {
        return (typeCode >> 2) & 1;
    }
    constexpr std::array<int, 9> byLowDigit = {0x050, 0x230, 0x240, 0x250, 0x520,
                                               0x530, 0x550, 0x560, 0x570};
    if (contains(byLowDigit, family)) {
        return (typeCode & 0xF) != 0 ? 1 : 0;
    }
    return 0;
}

} // namespace qnlink
