#include "keys/KeySequence.h"
#include "keys/AnsiText.h"

#include "config/ini/CIniEx.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

TEST(ParseEntry, TypedText) {
    struct Case {
        const char* text;
        bool valid;
        int code;
        const char* name;
    };
    const Case cases[] = {
        {"a", true, 0x61, "a"},
        {"A", true, 0x41, "A"},
        {" ", true, 0x20, "SP"},
        {"'", true, 0x27, "'"},
        {"\xE4", true, 0xE4, "\xE4"},
        {"\xFF", true, 0xFF, "\xFF"},
        {"0d", true, 0x0D, "CR (Enter)"},
        {"1B", true, 0x1B, "ESC"},
        {"F1", true, 0xF1, "\xF1"},
        {"ff", true, 0xFF, "\xFF"},
        {"f10", true, 0x89, "F10"},
        {"wait 100", true, 0x8F, "Wait 100"},
        {"cr (enter)", true, 0x0D, "CR (Enter)"},
        {"sp", true, 0x20, "SP"},
        {"\\ ", true, 0x5C, "\\ "},
        {"shift+", true, 0x8C, "Shift+"},
        {"cr", false, 0, ""},
        {"", false, 0, ""},
        {"zz", false, 0, ""},
        {" 0d", false, 0, ""},
        {"F13", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<ASCII> parsed = ParseEntry(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(parsed->code, c.code);
            EXPECT_EQ(parsed->name, c.name);
        }
    }
}

TEST(editorCodeList, PositionIsCode) {
    const auto list = editorCodeList();
    ASSERT_EQ(list.size(), 144u);
    const std::pair<int, const char*> expected[] = {
        {0x00, "NUL"}, {0x0D, "CR (Enter)"}, {0x20, "SP"},   {0x21, "!"},        {0x27, "\xB4"},
        {0x41, "A"},   {0x5C, "\\ "},        {0x60, "'"},    {0x7E, "~"},        {0x7F, "DEL"},
        {0x80, "F1"},  {0x8B, "F12"},        {0x8E, "Alt+"}, {0x8F, "Wait 100"},
    };
    for (const auto& [code, text] : expected) {
        EXPECT_EQ(list[std::size_t(code)], text) << code;
    }
    // Codes picked from the list keep the list's text: the apostrophe entry reads as an acute
    // accent, while the same code loaded from a block carries the apostrophe itself.
    EXPECT_EQ(CodeName(0x27), "'");
    EXPECT_EQ(KeyNameTable().size(), 50u);
}

TEST(editorCodeList, EveryEntryTypedBackGivesItsCode) {
    // Typing an entry's text finds that entry, except where a shorter rule wins: one character
    // is its own byte, and two hex digits are a hex code ("F1" is 0xF1, not the function key).
    const auto list = editorCodeList();
    for (std::size_t p = 0; p < list.size(); ++p) {
        SCOPED_TRACE(list[p]);
        const std::optional<ASCII> parsed = ParseEntry(list[p]);
        ASSERT_TRUE(parsed.has_value());
        const std::string& text = list[p];
        if (text.size() == 1) {
            EXPECT_EQ(parsed->code, static_cast<std::uint8_t>(text[0]));
        } else if (text.size() == 2 && HexDigitValue(text[0]) != 0xFF &&
                   HexDigitValue(text[1]) != 0xFF) {
            EXPECT_EQ(parsed->code, HexDigitValue(text[0]) * 16 + HexDigitValue(text[1]));
        } else {
            EXPECT_EQ(parsed->code, p);
            EXPECT_EQ(parsed->name, text);
        }
        if (p > 0x20 && p < 0x7F && p != 0x27 && p != 0x5C && p != 0x60) {
            EXPECT_EQ(text, std::string(1, static_cast<char>(p)));
        }
    }
}

TEST(KeyNames, CodeNameAndRowText) {
    const std::pair<int, const char*> cases[] = {
        {0x0D, "0D H     CR (Enter)"}, {0x41, "41 H     A"},    {0x7F, "7F H     DEL"},
        {0x8F, "8F H     Wait 100"},   {0x90, "90 H     \x90"}, {0x00, "00 H     NUL"},
    };
    for (const auto& [code, row] : cases) {
        EXPECT_EQ(rowText(makeAscii(static_cast<std::uint8_t>(code))), row);
    }
    EXPECT_EQ(HexDigitValue('g'), 0xFF);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('9'), 9);
}

TEST(SequenceBlock, FromReaderBlock) {
    struct Case {
        std::vector<std::uint8_t> block;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {{}, {}},
        {{0xFF}, {}},
        {{0x0D, 0x0A, 0xFF}, {"CR (Enter)", "LF"}},
        {{0x41, 0x00}, {"A"}}, // the last byte is dropped unexamined
        {{0xFF, 0xFF}, {"\xFF"}},
    };
    for (const Case& c : cases) {
        const CAsciiArray seq = sequenceFromBlock(c.block);
        ASSERT_EQ(seq.size(), c.names.size());
        for (std::size_t i = 0; i < seq.size(); ++i) {
            EXPECT_EQ(seq[i].code, c.block[i]);
            EXPECT_EQ(seq[i].name, c.names[i]);
        }
    }

    std::vector<std::uint8_t> twenty(21, 'x');
    twenty.back() = 0xFF;
    EXPECT_EQ(sequenceFromBlock(twenty).size(), 20u) << "a reader's sequence is taken whole";

    CAsciiArray page{makeAscii('a')};
    EXPECT_FALSE(LoadFromBytes(page, twenty.data(), -1));
    EXPECT_EQ(page.size(), 1u) << "a failed read leaves the sequence";
    EXPECT_TRUE(LoadFromBytes(page, twenty.data(), 3));
    EXPECT_EQ(page.size(), 2u);
}

TEST(SequenceBlock, AppendCodesKeepsBuffer) {
    std::vector<std::uint8_t> buffer{0x01};
    AppendCodes({makeAscii(0x02), makeAscii(0x0D)}, buffer);
    AppendCodes({}, buffer);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x01, 0x02, 0x0D, 0xFF, 0xFF}));
}

TEST(SequenceSection, Loading) {
    struct Case {
        const char* section;
        SequenceLoadResult result;
        std::vector<int> codes; // expected target afterwards
    };
    const char* file = "[A]\nCount=2\nAscii0=2\nAscii1=13\n"
                       "[B]\nCount=16\nAscii0=1\n"
                       "[C]\nCount=3\nAscii0=300\nAscii1=abc\n"
                       "[D]\nCount=-3\n"
                       "[E]\nCount=15\n"
                       "[F]\nCount=1\nAscii0=-1\n"
                       "[G]\nCount=99999999999\n";
    const Case cases[] = {
        {"A", SequenceLoadResult::Loaded, {2, 13}},
        {"B", SequenceLoadResult::TooManyCodes, {'k', 'e', 'p', 't'}},
        {"C", SequenceLoadResult::Loaded, {0x2C, 0, 0}},
        {"D", SequenceLoadResult::Loaded, {}},
        {"E", SequenceLoadResult::Loaded, std::vector<int>(15, 0)},
        {"F", SequenceLoadResult::Loaded, {0xFF}},
        {"G", SequenceLoadResult::TooManyCodes, {'k', 'e', 'p', 't'}},
        {"Missing", SequenceLoadResult::Loaded, {}},
    };
    CIniEx ini;
    ini.parse(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        CAsciiArray target{makeAscii('k'), makeAscii('e'), makeAscii('p'), makeAscii('t')};
        EXPECT_EQ(LoadSequenceSection(ini, c.section, target), c.result);
        ASSERT_EQ(target.size(), c.codes.size());
        for (std::size_t i = 0; i < target.size(); ++i) {
            EXPECT_EQ(target[i].code, c.codes[i]);
            EXPECT_EQ(target[i].name, CodeName(target[i].code));
        }
    }
}

TEST(SequenceSection, ShorterSaveOverLongerKeepsSurplusKeys) {
    CIniEx ini;
    CAsciiArray five;
    for (std::uint8_t c : {'1', '2', '3', '4', '5'}) {
        five.push_back(makeAscii(c));
    }
    SaveSequenceSection(ini, "Prefix", five);
    SaveSequenceSection(ini, "Prefix", {makeAscii(0x02), makeAscii(0xE4)});
    EXPECT_EQ(ini.readInt("Prefix", "Count", -1), 2);
    EXPECT_EQ(ini.readString("Prefix", "Ascii1"), "228");
    EXPECT_EQ(ini.readString("Prefix", "Ascii4"), "53");
    CAsciiArray loaded;
    ASSERT_EQ(LoadSequenceSection(ini, "Prefix", loaded), SequenceLoadResult::Loaded);
    EXPECT_EQ(loaded, (CAsciiArray{makeAscii(0x02), makeAscii(0xE4)}));

    // A long sequence read from a reader is saved whole, but refused when loaded again.
    SaveSequenceSection(ini, "Suffix", CAsciiArray(20, makeAscii('x')));
    EXPECT_EQ(ini.readInt("Suffix", "Count", 0), 20);
    EXPECT_EQ(ini.readString("Suffix", "Ascii19"), "120");
    EXPECT_EQ(LoadSequenceSection(ini, "Suffix", loaded), SequenceLoadResult::TooManyCodes);
    EXPECT_EQ(loaded.size(), 2u);
}

TEST(AnsiText, Conversion) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const auto back = utf8ToAnsi(ansiToUtf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all) << "every byte survives the round trip";

    EXPECT_EQ(ansiToUtf8("\xE4\x80\xB4"), "\xC3\xA4\xE2\x82\xAC\xC2\xB4");
    EXPECT_EQ(utf8ToAnsi("\xC3\xA4"), std::string("\xE4"));
    EXPECT_EQ(utf8ToAnsi("\xE4\xB8\xAD"), std::nullopt) << "no cp1252 byte";
    EXPECT_EQ(utf8ToAnsi("\xC3"), std::nullopt) << "truncated";
    EXPECT_EQ(utf8ToAnsi("\xC0\x80"), std::nullopt) << "overlong";
    EXPECT_EQ(utf8ToAnsi("\xF0\x9F\x98\x80"), std::nullopt);
}

} // namespace
} // namespace veltra
