#include "config/ConfigChecks.h"
#include "config/ReaderConfiguration.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

DataPageEntries singleBlocks(std::uint8_t chipCode, std::initializer_list<const char*> blocks) {
    DataPageEntries e;
    e.selection = DataSelection::SingleBlocks;
    e.chip = chipCode;
    int i = 0;
    for (const char* b : blocks) {
        e.blocks[i++] = b;
    }
    return e;
}

DataPageEntries blockSequence(std::uint8_t chipCode, const char* start, const char* length) {
    DataPageEntries e;
    e.selection = DataSelection::BlockSequence;
    e.chip = chipCode;
    e.startBlock = start;
    e.lengthInBytes = length;
    return e;
}

DataPageEntries withPassword(DataPageEntries e, const char* password) {
    e.password = password;
    return e;
}

struct DataCase {
    const char* what;
    DataPageEntries entries;
    int stringId; // 0 = passes
    CheckField field;
};

TEST(DataPageChecks, BlocksAndPasswords) {
    DataPageEntries tooManyChars = singleBlocks(chip::Hitag1, {"123"});
    tooManyChars.characterCount = 0;
    DataPageEntries count33;
    count33.characterCount = 33;
    DataPageEntries usedFrom17;
    usedFrom17.usedBytesFrom = 17;
    DataPageEntries usedTo0;
    usedTo0.usedBytesTo = 0;
    DataPageEntries typeId;
    typeId.typeIdAfter = "ab";

    const DataCase cases[] = {
        {"Hitag1 block 5", singleBlocks(chip::Hitag1, {"5"}), kStrBlockOutOfRange,
         CheckField::Block1},
        {"Hitag1 block 16", singleBlocks(chip::Hitag1, {"16"}), 0, CheckField::None},
        {"empty second field is block 0", singleBlocks(chip::Hitag1, {"16", "", "63"}), 0,
         CheckField::None},
        {"Hitag1 block 64", singleBlocks(chip::Hitag1, {"16", "64"}), kStrBlockOutOfRange,
         CheckField::Block2},
        {"no block", singleBlocks(chip::Hitag1, {}), kStrNoBlockEntered, CheckField::Block1},
        {"EM4569 gap", singleBlocks(chip::EM4569, {"", "", "3"}), kStrBlockOutOfRange,
         CheckField::Block3},
        {"EM4305 block 3", singleBlocks(chip::EM4305, {"3", "13"}), 0, CheckField::None},
        {"negative block", singleBlocks(chip::HitagMicro, {"-1"}), kStrBlockOutOfRange,
         CheckField::Block1},
        {"unlimited chip", singleBlocks(chip::ATA5551, {"99"}), 0, CheckField::None},
        {"Hitag2 6+9", blockSequence(chip::Hitag2, "6", "9"), kStrLengthOutOfRange,
         CheckField::LengthInBytes},
        {"Hitag2 6+8", blockSequence(chip::Hitag2, "6", "8"), 0, CheckField::None},
        {"Hitag2 start 8", blockSequence(chip::Hitag2, "8", "1"), kStrStartBlockOutOfRange,
         CheckField::StartBlock},
        {"Tiris 17+8", blockSequence(chip::Tiris, "17", "8"), 0, CheckField::None},
        {"Tiris 17+9", blockSequence(chip::Tiris, "17", "9"), kStrLengthOutOfRange,
         CheckField::LengthInBytes},
        {"Hitag1 start 15", blockSequence(chip::Hitag1, "15", "4"), kStrStartBlockOutOfRange,
         CheckField::StartBlock},
        {"Hitag1 16+192", blockSequence(chip::Hitag1, "16", "192"), 0, CheckField::None},
        {"ATA5575 0+17", blockSequence(chip::ATA5575, "0", "17"), kStrLengthOutOfRange,
         CheckField::LengthInBytes},
        {"EM4569 start 4", blockSequence(chip::EM4569, "4", "4"), kStrStartBlockOutOfRange,
         CheckField::StartBlock},
        {"length 0", blockSequence(chip::Hitag2, "0", "0"), kStrLengthOutOfRange,
         CheckField::LengthInBytes},
        {"length -5", blockSequence(chip::Hitag2, "0", "-5"), kStrLengthOutOfRange,
         CheckField::LengthInBytes},
        {"unlimited start 300", blockSequence(chip::HitagMicro, "300", "1"),
         kStrStartBlockOutOfRange, CheckField::StartBlock},
        {"unlimited 0+255", blockSequence(chip::ATA5577Pw, "0", "255"), 0, CheckField::None},
        {"password 7 digits", withPassword(singleBlocks(chip::Hitag2, {"4"}), "1234567"),
         kStrPasswordLength, CheckField::Password},
        {"password not hex", withPassword(blockSequence(chip::ATA5577Pw, "1", "4"), "1234567G"),
         kStrPasswordHex, CheckField::Password},
        {"password ok", withPassword(singleBlocks(chip::Hitag2, {"4"}), "abcdEF01"), 0,
         CheckField::None},
        {"password before blocks", withPassword(singleBlocks(chip::Hitag2, {"9"}), "12"),
         kStrPasswordLength, CheckField::Password},
        {"password 9 chars", withPassword(singleBlocks(chip::Hitag2, {"4"}), "123456789"),
         kStrMaxCharacters, CheckField::Password},
        {"password ignored for other chip", withPassword(singleBlocks(chip::Q5, {"4"}), "12"), 0,
         CheckField::None},
        {"block field 3 chars first", tooManyChars, kStrMaxCharacters, CheckField::Block1},
        {"33 characters", count33, kStrIntegerRange, CheckField::CharacterCount},
        {"used from 17", usedFrom17, kStrIntegerRange, CheckField::UsedBytesFrom},
        {"used to 0", usedTo0, kStrIntegerRange, CheckField::UsedBytesTo},
        {"type identifier", typeId, kStrMaxCharacters, CheckField::TypeIdAfter},
    };
    for (const DataCase& c : cases) {
        SCOPED_TRACE(c.what);
        const CheckResult result = checkDataPage(c.entries);
        if (c.stringId == 0) {
            EXPECT_FALSE(result.has_value()) << result->stringId;
            continue;
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->stringId, c.stringId);
        EXPECT_EQ(result->field, c.field);
    }
}

TEST(ParameterPageChecks, RangesAndPrompt) {
    struct Case {
        ParameterPageEntries entries;
        int stringId;
        CheckField field;
    };
    const Case cases[] = {
        {{"?", 1000, 500}, 0, CheckField::None},
        {{"", 100, 12700}, 0, CheckField::None},
        {{"ab", 1000, 500}, kStrMaxCharacters, CheckField::Prompt},
        {{"?", 12800, 500}, kStrIntegerRange, CheckField::CycleTime},
        {{"?", 99, 500}, kStrIntegerRange, CheckField::CycleTime},
        {{"?", 1000, 50}, kStrIntegerRange, CheckField::Timeout},
        {{"?", 10, 0}, kStrIntegerRange, CheckField::CycleTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.cycleTimeMs);
        const CheckResult result = checkParameterPage(c.entries);
        if (c.stringId == 0) {
            EXPECT_FALSE(result.has_value());
            continue;
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->stringId, c.stringId);
        EXPECT_EQ(result->field, c.field);
    }
}

TEST(CheckMessages, Texts) {
    EXPECT_EQ(checkParameterPage({"?", 12800, 500})->message(),
              QString::fromUtf8("Bitte geben Sie eine ganze Zahl zwischen 100 und 12700 ein."));
    EXPECT_EQ(checkDataPage(blockSequence(chip::Hitag2, "9", "1"))->message(),
              QString::fromUtf8("Der Startblock ist ausserhalb des gültigen Bereiches!"));
    EXPECT_EQ(checkDataPage(withPassword(singleBlocks(chip::Hitag2, {"1"}), "1"))->message(),
              QString::fromUtf8("Passwort Länge ist nicht korrekt"));
    DataPageEntries e;
    e.typeIdBefore = "xy";
    EXPECT_EQ(checkDataPage(e)->message(),
              QString::fromUtf8("Bitte geben Sie nicht mehr als 1 Zeichen ein."));
}

} // namespace
} // namespace veltra
