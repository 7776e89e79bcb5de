#include "keys/KeyLayout.h"

#include "config/ini/CIniEx.h"
#include "tests/support/TraceCapture.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

KeyLayout layoutOf(std::initializer_list<std::tuple<int, KeyLayout::Field, char>> keys) {
    KeyLayout layout;
    for (const auto& [scan, field, c] : keys) {
        layout.entries[std::size_t(scan)][field] = std::uint8_t(c);
    }
    return layout;
}

TEST(OnScreenKeys, ScanCodesAndUsagesPairUp) {
    // First and last key of each row, and what has no key.
    struct Case {
        int scanCode;
        int usage;
        const char* label;
        int row;
    };
    const Case keys[] = {{41, 0x35, "\xB0", 0}, {13, 0x2E, "=", 0}, {16, 0x14, "Q", 1},
                         {43, 0x32, "#", 1},    {30, 0x04, "A", 2}, {40, 0x34, "'", 2},
                         {86, 0x64, "<", 3},    {53, 0x38, "/", 3}};
    for (const Case& c : keys) {
        SCOPED_TRACE(c.scanCode);
        const int key = ScanCodeToKey(c.scanCode);
        ASSERT_GE(key, 0);
        EXPECT_EQ(UsageToKey(c.usage), key);
        EXPECT_STREQ(kOnScreenKeys[std::size_t(key)].label, c.label);
        EXPECT_EQ(kOnScreenKeys[std::size_t(key)].row, c.row);
    }
    EXPECT_EQ(ScanCodeToKey(41), 0);
    EXPECT_EQ(ScanCodeToKey(53), 47);
    for (const int scan : {-1, 0, 1, 14, 28, 57, 89, 90, 127, 200}) {
        EXPECT_EQ(ScanCodeToKey(scan), -1) << scan;
    }
    for (const int usage : {-1, 0, 0x2C, 0x28, 103, 104, 0xFF}) {
        EXPECT_EQ(UsageToKey(usage), -1) << usage;
    }
    // Every key once, and the rows in order.
    int row = 0;
    for (std::size_t i = 0; i < kOnScreenKeys.size(); ++i) {
        EXPECT_EQ(ScanCodeToKey(kOnScreenKeys[i].scanCode), int(i));
        EXPECT_EQ(UsageToKey(kOnScreenKeys[i].usage), int(i));
        EXPECT_GE(kOnScreenKeys[i].row, row);
        row = kOnScreenKeys[i].row;
    }
}

TEST(KeyCodeForChar, FirstFieldWinsAndOffScreenKeysHaveNoUsage) {
    const KeyLayout layout = layoutOf({{16, KeyLayout::Normal, 'q'},
                                       {16, KeyLayout::AltGr, '@'},
                                       {3, KeyLayout::Shift, '"'},
                                       {40, KeyLayout::Shift, '@'}, // later duplicate: ignored
                                       {55, KeyLayout::Normal, '*'},
                                       {57, KeyLayout::Shift, ' '}});
    const std::pair<char, std::uint16_t> cases[] = {
        {'q', 0x0014}, {'"', 0x021F}, {'@', 0x4014},  {'*', 0x0000},
        {' ', 0x0200}, {'x', 0x0000}, {'\0', 0x0000},
    };
    for (const auto& [c, code] : cases) {
        EXPECT_EQ(KeyCodeForChar(layout, std::uint8_t(c)), code) << c;
    }
}

TEST(CountLayoutDifferences, CountsAndTracesOnScreenKeysOnly) {
    test::TraceCapture capture;
    const KeyLayout a = layoutOf({{16, KeyLayout::Normal, 'q'},
                                  {3, KeyLayout::Shift, '"'},
                                  {12, KeyLayout::AltGr, '\\'},
                                  {55, KeyLayout::Normal, '*'}}); // keypad: never compared
    const KeyLayout b = layoutOf({{16, KeyLayout::Normal, 'a'}, {12, KeyLayout::AltGr, '\\'}});
    EXPECT_EQ(CountLayoutDifferences(a, b), 2);
    // A character 0 ends its text: "S003(\" " then the next one.
    EXPECT_EQ(capture.texts(), (std::vector<std::string>{"S003(\" ", "N016(q a) "}));
    EXPECT_EQ(CountLayoutDifferences(a, a), 0);
    EXPECT_EQ(CountLayoutDifferences(KeyLayout{}, layoutOf({{55, KeyLayout::Normal, '*'}})), 0);
}

TEST(LayoutSection, LoadsFirstCharacterAndSurvivesARoundTrip) {
    CIniEx file;
    KeyLayout untouched = layoutOf({{16, KeyLayout::Normal, 'q'}});
    KeyLayout layout = untouched;
    EXPECT_FALSE(LoadLayoutSection(file, layout));
    EXPECT_EQ(layout, untouched);

    // Every printable character but the blank (the file format trims leading blanks), also
    // the ones an INI file could mistake: '=', ';', '"', '[', '#'.
    KeyLayout all;
    int c = 0x21;
    for (std::size_t scan = 0; scan < 128 && c <= 0xFF; ++scan) {
        for (std::size_t field = 0; field < 3 && c <= 0xFF; ++field) {
            all.entries[scan][field] = std::uint8_t(c++);
        }
    }
    SaveLayoutSection(file, all);
    CIniEx reread;
    reread.parse(file.toText());
    ASSERT_TRUE(LoadLayoutSection(reread, layout));
    EXPECT_EQ(layout, all);

    file.writeString("HID_KEYS", "ScanCode016Normal", "qwe");
    file.writeString("HID_KEYS", "ScanCode016Shift", "");
    ASSERT_TRUE(LoadLayoutSection(file, layout));
    EXPECT_EQ(layout.entries[16][KeyLayout::Normal], 'q');
    EXPECT_EQ(layout.entries[16][KeyLayout::Shift], 0);
}

} // namespace
} // namespace veltra
