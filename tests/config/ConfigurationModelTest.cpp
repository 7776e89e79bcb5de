#include "config/ConfigurationModel.h"
#include "config/DataPageRules.h"
#include "config/DeviceFeatures.h"
#include "config/ParamPageRules.h"

#include <gtest/gtest.h>

using namespace veltra;

namespace {

DataFormatRecord chipRecord(std::uint8_t type, std::uint8_t display = 0) {
    DataFormatRecord r;
    r.active = 1;
    r.transponderType = type;
    r.registers = {4, 5, 255, 255};
    r.display = display;
    return r;
}

} // namespace

TEST(ConfigurationModel, RecordsAsThePageShowsThemForTheReader) {
    struct Case {
        const char* what;
        DataFormatRecord record;
        std::uint32_t features;
        std::uint8_t type;
        std::uint8_t display;
        std::uint8_t firstRegister;
    };
    const std::uint32_t all = 0xFFFFFFFFu;
    const Case cases[] = {
        {"EM4569 without bit 6", chipRecord(7), all & ~feature::Em4569AndReversal, 5, 0, 4},
        {"Hitag micro without bit 13", chipRecord(10), all & ~feature::SecondDataPage, 4, 0, 4},
        {"EM4305 without bit 13", chipRecord(8), all & ~feature::SecondDataPage, 5, 0, 4},
        {"ATA5551 without bit 16", chipRecord(13), all & ~feature::Ata5551, 9, 0, 4},
        {"SIC7888 without bit 15", chipRecord(12), all & ~feature::Sic7888, 4, 0, 4},
        {"ATA5577 + PW without bit 17", chipRecord(48), all & ~feature::Ata5577Password, 9, 0, 4},
        {"Tiris without bit 12", chipRecord(33), all & ~feature::HdxFormats, 4, 0, 4},
        {"supported chip stays", chipRecord(13), all, 13, 0, 4},
        {"block sequence without bit 20 empties the blocks", chipRecord(0x80 | 9),
         all & ~feature::BlockSequence, 9, 0, 255},
        {"block sequence with bit 20 stays", chipRecord(0x80 | 9), all, 0x89, 0, 4},
        {"ASCII without bit 1", chipRecord(9, 2), all & ~feature::AsciiDisplay, 9, 0, 4},
        {"ASCII without NUL, no bit 3", chipRecord(9, 5), all & ~feature::AsciiNoNulDisplay, 9, 2,
         4},
        {"decimal without zeros, no bit 13", chipRecord(9, 3), all & ~feature::SecondDataPage, 9, 1,
         4},
        {"lower-case hex, no bit 13", chipRecord(9, 4), all & ~feature::SecondDataPage, 9, 0, 4},
    };
    for (const Case& c : cases) {
        const DataFormatRecord r = pageRecord(c.record, c.features);
        EXPECT_EQ(r.transponderType, c.type) << c.what;
        EXPECT_EQ(r.display, c.display) << c.what;
        EXPECT_EQ(r.registers[0], c.firstRegister) << c.what;
    }
}

TEST(ConfigurationModel, ParametersAsThePageTakesThemOver) {
    struct Case {
        int baud;
        int powerOn;
        int expectedBaud;
        int expectedPowerOn;
    };
    const Case cases[] = {
        {19200, 1, 19200, 1}, {38403, 0, 19203, 0}, {115200, 2, 19200, 2}, {9601, 3, 9601, -1},
        {0, -1, 19200, -1},   {12345, 1, 19200, 1}, {4807, 1, 4800, 1},    {230402, 1, 19202, 1},
    };
    for (const Case& c : cases) {
        ReaderParameters p = defaultReaderParameters();
        p.baudRate = c.baud;
        p.powerOnMode = static_cast<std::int8_t>(c.powerOn);
        const ReaderParameters taken = pageParameters(p);
        EXPECT_EQ(taken.baudRate, c.expectedBaud) << c.baud;
        EXPECT_EQ(taken.powerOnMode, c.expectedPowerOn) << c.baud;
    }
}

// The page checks as the model runs them before saving or programming.
TEST(ConfigurationModel, ChecksOfTheTakeOver) {
    auto checkRecord = [](const DataFormatRecord& record) {
        ConfigurationModel model;
        model.content().config.data[0] = record;
        return model.checkDataRecords();
    };
    DataFormatRecord noBlocks = chipRecord(3);
    noBlocks.registers = {255, 255, 255, 255};
    ASSERT_TRUE(checkRecord(noBlocks).has_value());
    EXPECT_EQ(checkRecord(noBlocks)->id, 73002);
    EXPECT_FALSE(checkRecord(chipRecord(3)).has_value());

    DataFormatRecord shortPassword = chipRecord(2);
    shortPassword.hitag2Password = "1234";
    EXPECT_TRUE(checkRecord(shortPassword).has_value());

    ConfigurationModel model;
    EXPECT_FALSE(model.checkParameters().has_value());
    model.content().config.parameters.cycleTimeMs = 10; // the record's initial value
    EXPECT_TRUE(model.checkParameters().has_value());
}
