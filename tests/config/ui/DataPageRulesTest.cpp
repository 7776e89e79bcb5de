// The data page's widget-free rules: the reversal example and the chip descriptions.
#include "config/DataPageRules.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

TEST(DataPageRules, ReversalExampleForEveryArrangement) {
    // byte order (1), bits in nibble (2), nibble swap (4)
    const char* const results[8] = {
        "0001 0010  0011 0111", "0011 0111  0001 0010", "1000 0100  1100 1110",
        "1100 1110  1000 0100", "0010 0001  0111 0011", "0111 0011  0010 0001",
        "0100 1000  1110 1100", "1110 1100  0100 1000",
    };
    for (std::uint8_t a = 0; a < 8; ++a) {
        EXPECT_EQ(reversalExample(a), std::string("   0001 0010  0011 0111\n=> ") + results[a])
            << int(a);
    }
}

TEST(DataPageRules, EveryChipHasADescriptionAndOnlyPasswordChipsAskForOne) {
    for (const ChipEntry& entry : chipTable()) {
        for (DataChoice mode :
             {DataChoice::Uid, DataChoice::SingleBlocks, DataChoice::BlockSequence}) {
            const DataInfoText info = dataInfoText(mode, entry.code);
            EXPECT_NE(std::string(info.caption), "") << entry.name;
            EXPECT_FALSE(info.lineIds.empty()) << entry.name;
            EXPECT_LE(info.lineIds.size(), kInfoLineCount) << entry.name;
            EXPECT_EQ(info.showsPassword,
                      entry.code == chip::Hitag2 || entry.code == chip::ATA5577Pw)
                << entry.name;
        }
    }
    // A fixed format describes itself, whatever chip is still selected.
    EXPECT_EQ(std::string(dataInfoText(DataChoice::FdxBEn, chip::Hitag2).caption), "FDX (EN14803)");
    EXPECT_FALSE(dataInfoText(DataChoice::FdxBEn, chip::Hitag2).showsPassword);
    EXPECT_TRUE(dataInfoText(DataChoice::None, chip::Hitag2).lineIds.empty());
}

TEST(DataPageRules, FormatBoxesMatchTheFormatCodes) {
    for (const FormatEntry& format : formatTable()) {
        const DataChoice c = choiceForFormat(format.code);
        ASSERT_NE(c, DataChoice::None) << format.name;
        EXPECT_STREQ(dataChoiceTable()[static_cast<int>(c)].caption, format.name);
        EXPECT_EQ(formatCodeOf(c), format.code);
        EXPECT_FALSE(isChipMode(c));
    }
    EXPECT_EQ(choiceForFormat(0), DataChoice::None);
    EXPECT_EQ(choiceForFormat(20), DataChoice::None);
}

} // namespace
} // namespace veltra
