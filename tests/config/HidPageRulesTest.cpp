// The keyboard reader's parameter page rules: how a reader's block 6 is taken, what the page
// programs, which controls it offers, how a key shows its characters, and the model's checks.
#include "config/HidPageRules.h"
#include "config/ConfigurationModel.h"
#include "config/DeviceFeatures.h"

#include <gtest/gtest.h>

using namespace veltra;

TEST(HidPageRules, ParameterBlockIsTakenWithTheReadersOddities) {
    struct Case {
        Bytes block;
        int powerOnValue;
        bool taken;
        bool failure;
        HidPageValues expected;
    };
    const Case cases[] = {
        // A stored mode 1 shows as mode 0; sensor output is bit 4.
        {{0x11, 10, 0x3F, 5}, 1, true, false, {0, true, 1000, 500, 1}},
        {{0x03, 20, 0x3F, 127}, 0, true, false, {3, false, 2000, 12700, 0}},
        // Timeout bytes 0 and 0x80..0xFF mean 500 ms.
        {{0x02, 10, 0, 0}, 1, true, false, {2, false, 1000, 500, 1}},
        {{0x02, 10, 0, 0x80}, 1, true, false, {2, false, 1000, 500, 1}},
        // Power-on 3 and a failed read (-1) both select "Lesermodus ohne Ausgabe".
        {{0x00, 10, 0, 5}, 3, true, false, {0, false, 1000, 500, 2}},
        {{0x00, 10, 0, 5}, -1, true, false, {0, false, 1000, 500, 2}},
        // A cycle-time byte 0 fails the range check: mode, cycle time and timeout fall back.
        {{0x13, 0, 0, 7}, 1, true, true, {0, true, 1000, 500, 1}},
        // Too short: nothing changes.
        {{0x03, 10, 0}, 1, false, false, {3, false, 4200, 900, 0}},
    };
    for (const Case& c : cases) {
        HidPageValues values{3, false, 4200, 900, 0};
        const HidBlockResult result = hidValuesFromBlock(c.block, c.powerOnValue, values);
        EXPECT_EQ(result.taken, c.taken);
        EXPECT_EQ(result.failure.has_value(), c.failure);
        EXPECT_EQ(values, c.expected) << int(c.block[0]) << ' ' << c.powerOnValue;
    }
}

TEST(HidPageRules, RecordKeepsModeSensorAndPowerOnAndSavesMode1AsMode0) {
    const ReaderParameters p = hidParameters({2, true, 1500, 300, 1});
    EXPECT_EQ(p.operatingMode, 0x12);
    EXPECT_EQ(p.cycleTimeMs, 1500);
    EXPECT_EQ(p.timeoutMs, 300);
    EXPECT_EQ(p.powerOnMode, 1);
    EXPECT_EQ(p.prompt, '?');
    EXPECT_EQ(p.baudRate, 19200);
    ReaderParameters stored;
    stored.operatingMode = 0x01;
    EXPECT_EQ(hidParameters(hidValuesFromParameters(stored)).operatingMode, 0);
}

TEST(HidPageRules, ControlsFollowModeAndFeatures) {
    using namespace feature;
    const HidPageControls none = hidPageControls(0, 0);
    EXPECT_FALSE(none.mode2 || none.programmingMode || none.readerMode || none.readerModeSilent);
    EXPECT_TRUE(none.timeout);
    EXPECT_FALSE(none.cycleTime);
    const HidPageControls all = hidPageControls(3, SensorInput | PowerOnMode | ReaderModeSilent);
    EXPECT_TRUE(all.mode2 && all.programmingMode && all.readerMode && all.readerModeSilent);
    EXPECT_FALSE(all.timeout);
    EXPECT_TRUE(all.cycleTime);
    // "Lesermodus ohne Ausgabe" needs the power-on feature too.
    EXPECT_FALSE(hidPageControls(0, ReaderModeSilent).readerModeSilent);
}

TEST(HidPageRules, KeyTextShowsShiftNormalAltGrAndDoublesTheAmpersand) {
    KeyLayout layout;
    layout.entries[7] = {'6', '&', 0};
    layout.entries[16] = {'q', 'Q', '@'};
    layout.entries[86] = {0, 0, '|'};
    EXPECT_EQ(keyButtonText(layout, 7), "&&\n6\t");
    EXPECT_EQ(keyButtonText(layout, 16), "Q\nq\t@");
    EXPECT_EQ(keyButtonText(layout, 86), " \n \t|");
}

TEST(HidPageRules, ModelChecksAndProgramsAKeyboardReadersParameters) {
    ConfigurationModel model(feature::HidReader);
    model.content().config.parameters = hidParameters({3, false, 50, 500, 2});
    ASSERT_TRUE(model.checkParameters());
    EXPECT_NE(model.checkParameters()->text.find("12700"), std::string::npos);
    model.content().config.parameters = hidParameters({3, false, 1000, 12800, 2});
    EXPECT_TRUE(model.checkForProgramming());
    model.content().config.parameters.cycleTimeMs = 1200;
    model.content().config.parameters.timeoutMs = 700;
    model.content().config.parameters.operatingMode = 0x01;
    EXPECT_FALSE(model.takeParameters());
    EXPECT_EQ(model.configuration().parameters.operatingMode, 0);
    EXPECT_EQ(model.hidPowerOnMode(), 2);
}
