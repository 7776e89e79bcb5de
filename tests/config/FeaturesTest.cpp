#include "config/DeviceFeatures.h"
#include "config/workflow/ReaderConnector.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace veltra;

TEST(FeaturesVersionNumber, Base62DigitsAndEverythingElseIs255) {
    struct Case {
        char c;
        unsigned expected;
    };
    const Case cases[] = {{'0', 0},   {'9', 9},   {'A', 10},  {'K', 20},     {'Z', 35},
                          {'a', 36},  {'x', 59},  {'z', 61},  {'/', 255},    {':', 255},
                          {'@', 255}, {'[', 255}, {'`', 255}, {'{', 255},    {'\0', 255},
                          {' ', 255}, {'~', 255}, {'-', 255}, {'\xff', 255}, {'\x80', 255}};
    for (const Case& c : cases) {
        EXPECT_EQ(versionNumber(c.c), c.expected) << "character code " << int(c.c);
    }
}

TEST(FeaturesDeviceType, TableByFamilyVersionAndType) {
    struct Case {
        unsigned type;
        unsigned version;
        std::uint32_t expected;
    };
    const Case cases[] = {
        // 0x040: base, then version 5 and 6.
        {0x041, 4, 0x00000062},
        {0x044, 5, 0x00000066},
        {0x045, 6, 0x80000066},
        {0x041, 255, 0x80000066},
        // 0x060: own bits, then the rules of the older families.
        {0x061, 6, 0x00000010},
        {0x061, 7, 0x00000030},
        {0x061, 14, 0x00000070},
        {0x064, 15, 0x00000170},
        {0x065, 16, 0x00000172},
        {0x069, 22, 0x00000176},
        {0x069, 255, 0x00000176},
        // 0x050: type-code bits only.
        {0x051, 0, 0x800FE0E6},
        {0x052, 61, 0x800FE0E6},
        {0x053, 0, 0x800FE8E6},
        {0x054, 0, 0x800FF8E6},
        {0x055, 0, 0x800FF8E6},
        // 0x240: version steps and type-code bits.
        {0x240, 16, 0x800020E6},
        {0x241, 17, 0x800060E6},
        {0x242, 19, 0x800060E6},
        {0x243, 20, 0x8000E8E6},
        {0x243, 22, 0x8001E8E6},
        {0x243, 30, 0x8003E8E6},
        {0x244, 31, 0x8007F8E6},
        {0x244, 40, 0x800FF8E6},
        {0x245, 45, 0x801FF8E6},
        {0x244, 49, 0x801FF8EE},
        {0x244, 255, 0x801FF8EE},
        // 0x250: like 0x240 by version, FDX from 0x253 on, HDX only on 0x254.
        {0x252, 20, 0x8000E0E6},
        {0x253, 20, 0x8000E8E6},
        {0x254, 0, 0x800038E6},
        {0x255, 0, 0x800028E6},
        {0x255, 255, 0x801FE8EE},
        // 0x540
        {0x541, 0, 0xC00FE0E6},
        {0x542, 0, 0xC00FE0E6},
        {0x543, 0, 0xC00FE8E6},
        {0x545, 0, 0xC00FF8E6},
        // 0x550: version 8 allows "Lesermodus ohne Ausgabe".
        {0x551, 7, 0x807FE0EE},
        {0x551, 8, 0x80FFE0EE},
        {0x554, 8, 0x80FFF8EE},
        {0x553, 255, 0x80FFE8EE},
        // 0x560, 0x570
        {0x562, 0, 0x801FE0EE},
        {0x563, 0, 0x801FE8EE},
        {0x565, 0, 0x801FF8EE},
        {0x571, 0, 0x801FE0EE},
        {0x574, 0, 0x801FF8EE},
        // other: 0x020, 0x030, 0x210
        {0x021, 6, 0x00000000},
        {0x021, 7, 0x00000020},
        {0x022, 11, 0x00000060},
        {0x031, 16, 0x00000062},
        {0x211, 21, 0x00000062},
        {0x215, 22, 0x00000066},
        {0x029, 255, 0x00000066},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(deviceTypeFeatures(c.type, c.version), c.expected)
            << std::hex << "type 0x" << c.type << std::dec << " version " << c.version;
    }
}

TEST(FeaturesDeviceType, SupportedFamilies) {
    struct Case {
        unsigned type;
        bool supported;
    };
    const Case cases[] = {
        {0x021, true},  {0x039, true},  {0x044, true},  {0x050, true},  {0x06F, true},
        {0x219, true},  {0x244, true},  {0x255, true},  {0x545, true},  {0x551, true},
        {0x56A, true},  {0x57F, true},  {0x000, false}, {0x010, false}, {0x011, false},
        {0x071, false}, {0x081, false}, {0x109, false}, {0x231, false}, {0x273, false},
        {0x284, false}, {0x291, false}, {0x522, false}, {0x532, false}, {0xFFF, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(isSupportedFamily(c.type), c.supported) << std::hex << "type 0x" << c.type;
    }
}

// The keyboard-reader bit comes from a HID reader's name, never from a serial device path.
TEST(FeaturesConnection, KeyboardReaderBitOnlyForHidNames) {
    struct Case {
        const char* name;
        InterfaceKind kind;
        bool hid;
    };
    const Case cases[] = {
        {"COM1", InterfaceKind::Serial, false},
        {"QN-V244 HID", InterfaceKind::Hid, true},
        {"/dev/serial/by-id/usb-Maker_HID_Reader-if00", InterfaceKind::Serial, false},
    };
    for (const Case& c : cases) {
        const std::uint32_t features = connectionFeatures(c.kind, c.name, 0x244, 20);
        EXPECT_EQ((features & feature::HidReader) != 0, c.hid) << c.name;
    }
}
