#include "config/DeviceFeatures.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/FakeReaderLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace veltra;

namespace {

// A reader on a port, as the connection procedure sees it through the device link: it answers
// the identification only at the rates it listens at and reports a fixed identity.
struct ScriptedLink : test::FakeReaderLink {
    ScriptedLink() { model = "QN-V4 Test"; }
};

ConnectionTarget serialTarget(int baudCode) {
    return ConnectionTarget{"COM3:1", InterfaceKind::Serial, baudCode, 300};
}

} // namespace

TEST(ConnectorBaudSearch, TriesTheRestOfTheCycleAfterTheStoredCode) {
    struct Case {
        int stored;
        std::vector<int> order;
    };
    const Case cases[] = {
        {19200, {38400, 2400, 4800, 9600}},
        {2400, {4800, 9600, 19200, 38400}},
        {38400, {2400, 4800, 9600, 19200}},
        {9600, {19200, 38400, 2400, 4800}},
        {57600, {}},
        {115200, {}},
        {19201, {}},
        {9603, {}},
        {0, {}},
        {-19200, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(baudSearchOrder(c.stored), c.order) << c.stored;
    }
}

TEST(ConnectorBaudSearch, ReaderAnsweringOnlyAt4800IsFoundOnTheThirdTry) {
    ScriptedLink link;
    link.answersAtRates = {4800};
    const OpenResult r = openReaderConnection(link, serialTarget(19200));
    ASSERT_EQ(r.handle, 7);
    EXPECT_TRUE(r.baudCorrected);
    EXPECT_EQ(r.baudCode, 4800);
    const std::vector<std::string> expected{"open COM3:1 19200 0 300", "open COM3:1 38400 0 300",
                                            "open COM3:1 2400 0 300", "open COM3:1 4800 0 300"};
    EXPECT_EQ(link.opens(), expected);
}

TEST(ConnectorBaudSearch, NoAnswerAnywhereGivesZeroAfterOneFullCycle) {
    ScriptedLink link;
    link.answersAtRates = {};
    const OpenResult r = openReaderConnection(link, serialTarget(9600));
    EXPECT_EQ(r.handle, kOpenFailed);
    EXPECT_FALSE(r.baudCorrected);
    EXPECT_EQ(r.baudCode, 9600);
    EXPECT_EQ(link.opens().size(), 5u);
}

TEST(ConnectorBaudSearch, NoSearchForCodesOutsideTheCycleOrForAMissingPort) {
    struct Case {
        int stored;
        bool portExists;
        std::size_t opens;
    };
    const Case cases[] = {{57600, true, 1}, {19201, true, 1}, {19200, false, 1}};
    for (const Case& c : cases) {
        ScriptedLink link;
        link.answersAtRates = {4800};
        link.portExists = c.portExists;
        const OpenResult r = openReaderConnection(link, serialTarget(c.stored));
        EXPECT_EQ(r.handle, kOpenFailed) << c.stored;
        EXPECT_EQ(link.opens().size(), c.opens) << c.stored;
    }
}

TEST(ConnectorOpen, LineFormatDigitsOpenTheRateWithThatFormat) {
    struct Case {
        int code;
        int rate;
        int flags;
    };
    const Case cases[] = {{9601, 9600, 1},
                          {19202, 19200, 2},
                          {19203, 19200, 3},
                          {19207, 19200, 0},
                          {115200, 115200, 0}};
    for (const Case& c : cases) {
        ScriptedLink link;
        link.answersAtRates = {c.rate};
        link.answersAtFlags = c.flags;
        const OpenResult r = openReaderConnection(link, serialTarget(c.code));
        EXPECT_EQ(r.handle, 7) << c.code;
        EXPECT_FALSE(r.baudCorrected) << c.code;
        EXPECT_EQ(r.baudCode, c.code);
    }
}

TEST(ConnectorOpen, ProgrammingModeThenIdentityThenReaderModeCheck) {
    ScriptedLink link;
    const OpenResult r = openReaderConnection(link, serialTarget(19200));
    ASSERT_EQ(r.handle, 7);
    const std::vector<std::string> expected{"open COM3:1 19200 0 300", "setMode 0",
                                            "readDeviceType 4 31", "supportsReaderMode"};
    EXPECT_EQ(link.log, expected);
    EXPECT_EQ(r.identity.typeCode, 0x244u);
    EXPECT_EQ(r.identity.version, 20u);
    EXPECT_EQ(r.identity.typeText, "244");
    EXPECT_EQ(r.identity.modelName, "QN-V4 Test");
}

TEST(ConnectorOpen, FeaturesFollowTheInterfaceKind) {
    struct Case {
        InterfaceKind kind;
        std::string connection;
        int storedBaud;
        std::uint32_t interfaceBits;
    };
    const std::uint32_t typeBits = deviceTypeFeatures(0x244, 20);
    const Case cases[] = {
        {InterfaceKind::Serial, "COM3:1", 19200, feature::SerialInterface},
        {InterfaceKind::MakerVirtualCom, "COM4:1", 19200, 0},
        {InterfaceKind::Hid, "0815 HID:1", 9600, feature::HidReader},
        {InterfaceKind::Lan, "192.168.0.20-10001:1", 9600, feature::LanConnection},
    };
    for (const Case& c : cases) {
        ScriptedLink link;
        const OpenResult r =
            openReaderConnection(link, ConnectionTarget{c.connection, c.kind, c.storedBaud, 500});
        ASSERT_EQ(r.handle, 7) << c.connection;
        EXPECT_EQ(r.features, typeBits | c.interfaceBits) << c.connection;
        // HID and LAN links are always opened at 19200; the stored code stays as it was.
        EXPECT_EQ(link.opens().front(),
                  "open " + c.connection + " " +
                      (c.kind == InterfaceKind::Hid || c.kind == InterfaceKind::Lan
                           ? std::string("19200")
                           : std::to_string(c.storedBaud)) +
                      " 0 500");
        EXPECT_EQ(r.baudCode, c.storedBaud);
    }
}

TEST(ConnectorOpen, RefusedReadersAreClosedWithModeTwo) {
    struct Case {
        const char* what;
        std::string identity;
        int identityResult;
        int readerMode;
        int expected;
    };
    const Case cases[] = {
        {"no identity", "244K", -1, 1, kOpenNoIdentity},
        {"short identity", "24", 2, 1, kOpenNoIdentity},
        {"type not hex", "2G4K", 4, 1, kOpenNoIdentity},
        {"text identity does not fit", "QN-V4 Reader", 12, 1, kOpenNoIdentity},
        {"family 0x100", "109K", 4, 1, kOpenUnsupported},
        {"family 0x280", "284K", 4, 1, kOpenUnsupported},
        {"no reader mode", "240K", 4, 0, kOpenNoReaderMode},
        {"handle lost", "244K", 4, -1, kOpenNoIdentity},
    };
    for (const Case& c : cases) {
        ScriptedLink link;
        link.identity = c.identity;
        link.identityResult = c.identityResult;
        link.readerMode = c.readerMode;
        const OpenResult r = openReaderConnection(link, serialTarget(19200));
        EXPECT_EQ(r.handle, c.expected) << c.what;
        EXPECT_EQ(r.features, 0u) << c.what;
        ASSERT_GE(link.log.size(), 2u);
        EXPECT_EQ(link.log[link.log.size() - 2], "setMode 2") << c.what;
        EXPECT_EQ(link.log.back(), "close 7") << c.what;
    }
}

TEST(ConnectorOpen, InvalidVersionCharacterPassesEveryThreshold) {
    ScriptedLink link;
    link.identity = "244!";
    const OpenResult r = openReaderConnection(link, serialTarget(19200));
    ASSERT_EQ(r.handle, 7);
    EXPECT_EQ(r.identity.version, 255u);
    EXPECT_EQ(r.features, 0x801FF8EEu | feature::SerialInterface);
}

TEST(ConnectorClose, ModeTwoThenCloseAndNothingForNoHandle) {
    ScriptedLink link;
    closeReaderConnection(link, 0);
    closeReaderConnection(link, -3);
    EXPECT_TRUE(link.log.empty());
    closeReaderConnection(link, 10001);
    const std::vector<std::string> expected{"setMode 2", "close 10001"};
    EXPECT_EQ(link.log, expected);
}

TEST(ConnectorFirmware, TwoDigitMinorNumber) {
    EXPECT_EQ(firmwareText(7), "FW V1.07");
    EXPECT_EQ(firmwareText(20), "FW V1.20");
    EXPECT_EQ(firmwareText(255), "FW V1.255");
}
