#include "config/DeviceFeatures.h"

#include <array>

namespace veltra {

unsigned versionNumber(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned>(c - 'A') + 10u;
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned>(c - 'a') + 36u;
    }
    return 255u;
}

namespace {

// Version bits of the 0x020/0x030/0x210 readers, which the 0x060 family adds after its own.
std::uint32_t olderFamilyBits(unsigned n) {
    std::uint32_t bits = 0;
    if (n >= 7) {
        bits |= 0x20u;
    }
    if (n >= 11) {
        bits |= 0x40u;
    }
    if (n >= 16) {
        bits |= 0x02u;
    }
    if (n >= 22) {
        bits |= 0x04u;
    }
    return bits;
}

// Version bits shared by the 0x240 and 0x250 families.
std::uint32_t family24xBits(unsigned n) {
    struct Step {
        unsigned minVersion;
        std::uint32_t bits;
    };
    static constexpr std::array<Step, 8> steps{{{17, 0x4000u},
                                                {20, 0x8000u},
                                                {22, 0x10000u},
                                                {26, 0x20000u},
                                                {31, 0x40000u},
                                                {40, 0x80000u},
                                                {45, 0x100000u},
                                                {49, 0x08u}}};
    std::uint32_t bits = 0;
    for (const Step& step : steps) {
        if (n >= step.minVersion) {
            bits |= step.bits;
        }
    }
    return bits;
}

// The type-code bits of the later families: FDX support above the base model (x2 or x3 and
// up), HDX support on the two models given.
std::uint32_t typeBits(unsigned t, unsigned fdxAbove, unsigned hdxA, unsigned hdxB) {
    std::uint32_t bits = 0;
    if (t > fdxAbove) {
        bits |= 0x800u;
    }
    if (t == hdxA || t == hdxB) {
        bits |= 0x1000u;
    }
    return bits;
}

} // namespace

std::uint32_t deviceTypeFeatures(unsigned typeCode, unsigned version) {
    const unsigned t = typeCode;
    const unsigned n = version;
    switch (typeFamily(t)) {
    case 0x040: {
        std::uint32_t bits = 0x62u;
        if (n >= 5) {
            bits |= 0x04u;
        }
        if (n >= 6) {
            bits |= 0x80000000u;
        }
        return bits;
    }
    case 0x060: {
        std::uint32_t bits = 0x10u;
        if (n >= 15) {
            bits |= 0x100u;
        }
        return bits | olderFamilyBits(n);
    }
    case 0x050:
        return 0x800FE0E6u | typeBits(t, 0x052, 0x054, 0x055);
    case 0x240:
        return 0x800020E6u | family24xBits(n) | typeBits(t, 0x242, 0x244, 0x245);
    case 0x250:
        // FDX from 0x253 on, HDX only on 0x254.
        return 0x800020E6u | family24xBits(n) | typeBits(t, 0x252, 0x254, 0x254);
    case 0x540:
        return 0xC00FE0E6u | typeBits(t, 0x542, 0x544, 0x545);
    case 0x550: {
        std::uint32_t bits = 0x807FE0EEu | typeBits(t, 0x552, 0x554, 0x555);
        if (n >= 8) {
            bits |= 0x00800000u;
        }
        return bits;
    }
    case 0x560:
        return 0x801FE0EEu | typeBits(t, 0x562, 0x564, 0x565);
    case 0x570:
        return 0x801FE0EEu | typeBits(t, 0x572, 0x574, 0x575);
    default:
        return olderFamilyBits(n);
    }
}

bool isSupportedFamily(unsigned typeCode) {
    static constexpr std::array<unsigned, 12> families{0x020, 0x030, 0x040, 0x050, 0x060, 0x210,
                                                       0x240, 0x250, 0x540, 0x550, 0x560, 0x570};
    const unsigned f = typeFamily(typeCode);
    for (unsigned family : families) {
        if (family == f) {
            return true;
        }
    }
    return false;
}

} // namespace veltra
