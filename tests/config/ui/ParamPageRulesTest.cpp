// The parameter page's rules without widgets: "Setzen" entries for a stored rate, the rate the
// entries give back, the enable rules and the address check.
#include "config/ParamPageRules.h"
#include "config/DeviceFeatures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace veltra {
namespace {

TEST(ParamPageRules, SetListsForAStoredRate) {
    struct Case {
        int baudValue;
        InterfaceSelection expected;
    };
    const Case cases[] = {
        {9603, {2, 0, 1}},   // 9600, no parity, 2 stop bits
        {19201, {3, 1, 0}},  // even parity
        {19202, {3, 2, 0}},  // odd parity
        {2400, {0, 0, 0}},   //
        {4801, {1, 1, 0}},   //
        {38400, {3, 0, 0}},  // every rate above 9600 shows as 19200
        {230403, {3, 0, 1}}, //
        {12345, {3, 0, 0}},  // unlisted rate: 19200; remainder 45 counts as code 0
        {0, {3, 0, 0}},      //
        {-5, {3, kKeepSelection, kKeepSelection}}, // remainder with bit 7: format lists stay
        {115207, {3, 0, 0}},                       // remainder 7 counts as code 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(interfaceSelectionFor(c.baudValue), c.expected) << c.baudValue;
    }
}

TEST(ParamPageRules, RateFromTheSetLists) {
    struct Case {
        InterfaceSelection selection;
        int previous;
        int expected;
    };
    const Case cases[] = {
        {{2, 0, 1}, 19200, 9603},     // none + 2 stop bits
        {{2, 0, 0}, 19203, 9600},     // none + 1 stop bit
        {{3, 1, 1}, 19200, 19201},    // even with 2 stop bits is not representable: even
        {{3, 2, 1}, 19200, 19202},    // odd likewise
        {{3, -1, 1}, 19201, 19203},   // no parity entry, 2 stop bits
        {{3, -1, 0}, 19203, 19200},   // no parity entry, 1 stop bit
        {{3, -1, -1}, 9602, 19202},   // neither: the previous code stays
        {{3, -1, -1}, 9607, 19200},   // ... unless it is no code at all
        {{-1, -1, -1}, 38455, 38400}, // nothing selected: previous rate rounded down
        {{-1, 1, 0}, 57603, 57601},   //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(baudValueFor(c.selection, c.previous), c.expected)
            << c.selection.baudIndex << "/" << c.selection.parityIndex << "/"
            << c.selection.stopBitsIndex << " from " << c.previous;
    }
    // Up to 19200 every rate and code survives the way through the lists; above it the lists
    // show 19200 with the same code.
    for (int rate : kSetBaudRates) {
        for (int code = 0; code < 4; ++code) {
            EXPECT_EQ(baudValueFor(interfaceSelectionFor(rate + code), 0),
                      std::min(rate, 19200) + code);
        }
    }
}

TEST(ParamPageRules, EnableRulesFollowTheFeatureBits) {
    using namespace feature;
    struct Case {
        std::uint32_t features;
        unsigned mode;
        ParamPageControls expected;
    };
    ParamPageControls none;
    none.timeoutEnabled = true;
    none.setListsEnabled = true;

    ParamPageControls all = none;
    all.mode2Enabled = all.mode5Enabled = all.mode6Enabled = true;
    all.programmingModeEnabled = all.silentReaderModeEnabled = true;
    all.sensorDataVisible = all.interfaceGroupVisible = all.tcpGroupVisible = true;

    ParamPageControls powerOnOnly = none;
    powerOnOnly.programmingModeEnabled = true;

    ParamPageControls silentWithoutPowerOn = none; // bit 23 alone enables nothing

    ParamPageControls mode3 = none;
    mode3.timeoutEnabled = false;
    mode3.cycleTimeEnabled = true;

    ParamPageControls mode1 = none;
    mode1.timeoutEnabled = false;

    ParamPageControls lanOnly = none; // the TCP client needs bits 10 and 21

    const Case cases[] = {
        {0, 0, none},
        {SensorInput | OperatingMode5 | OperatingMode6 | PowerOnMode | ReaderModeSilent |
             SensorData | SerialInterface | LanConnection,
         2, all},
        {PowerOnMode, 0, powerOnOnly},
        {ReaderModeSilent, 0, silentWithoutPowerOn},
        {0, 3, mode3},
        {0, 1, mode1},
        {LanConnection, 0, lanOnly},
    };
    for (const Case& c : cases) {
        ParamPageState state;
        state.features = c.features;
        state.mode = c.mode;
        state.interfaceName = "COM1";
        EXPECT_EQ(paramPageControls(state), c.expected)
            << std::hex << c.features << " mode " << c.mode;
    }

    ParamPageState tcp;
    tcp.features = TcpClient;
    EXPECT_FALSE(paramPageControls(tcp).tcpFieldsEnabled);
    tcp.tcpClientActive = true;
    EXPECT_TRUE(paramPageControls(tcp).tcpFieldsEnabled);
    tcp.features = SensorInput;
    EXPECT_FALSE(paramPageControls(tcp).tcpFieldsEnabled);

    ParamPageState usb;
    for (const char* name : {"USB: QN-K71 (0403:6001)", "COM3", "/dev/ttyUSB0", "USB:x", ""}) {
        usb.interfaceName = name;
        EXPECT_EQ(paramPageControls(usb).setListsEnabled,
                  std::string_view(name).substr(0, 5) != "USB: ")
            << name;
    }
}

TEST(ParamPageRules, ServerAddress) {
    for (const char* good : {"192.168.0.10", "0.0.0.0", "255.255.255.255", "10.0.0.1"}) {
        EXPECT_TRUE(isIpv4Address(good)) << good;
    }
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.", ".1.2.3",
                            "0001.2.3.4", "1.2.3.4 ", "a.b.c.d", "1.2.3.99999999999"}) {
        EXPECT_FALSE(isIpv4Address(bad)) << bad;
    }
}

TEST(ParamPageRules, PageParametersShowHighRatesAs19200AndDropUnknownPowerOnModes) {
    ReaderParameters p = defaultReaderParameters();
    p.baudRate = 38401;
    p.powerOnMode = 3;
    p.dtrMode = 7;
    const ReaderParameters taken = pageParameters(p);
    EXPECT_EQ(taken.baudRate, 19201);
    EXPECT_EQ(taken.powerOnMode, -1);
    EXPECT_EQ(taken.dtrMode, 1);
    p.baudRate = 31250;
    EXPECT_EQ(pageParameters(p).baudRate, 19200);
}

TEST(ParamPageRules, PromptField) {
    EXPECT_EQ(promptFrom(""), '?');
    EXPECT_EQ(promptFrom("!x"), '!');
    EXPECT_EQ(promptText('\0'), "");
    EXPECT_EQ(promptText('?'), "?");
}

} // namespace
} // namespace veltra
