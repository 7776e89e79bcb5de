// The simulator's reader model and frame scanner, in-process.
#include "tools/qn-sim/FrameScanner.h"
#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/SimFrame.h"

#include <gtest/gtest.h>

namespace {

using qnsim::Bytes;

struct CapsCase {
    int type;
    char version;
    std::size_t block1;
};

TEST(QnSimModel, Block1SizeFollowsTypeAndVersion) {
    const std::vector<CapsCase> cases = {
        {0x244, 'K', 40}, {0x254, '0', 40}, {0x051, '1', 40}, {0x573, 'A', 40}, {0x284, 'K', 18},
        {0x291, 'K', 18}, {0x231, '1', 18}, {0x273, '1', 18}, {0x522, '1', 18}, {0x029, '7', 12},
        {0x029, '6', 11}, {0x029, '#', 12}, {0x064, 'a', 12}, {0x039, '0', 12}, {0x041, '0', 12},
        {0x109, '0', 12}, {0x219, '0', 12}, {0x081, '0', 12}, {0x271, '0', 12}, {0x010, 'Z', 11},
        {0x031, 'Z', 11}, {0x071, 'Z', 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        qnsim::ReaderModel model({c.type, c.version});
        EXPECT_EQ(model.block1Size(), c.block1);
        EXPECT_EQ(model.block(1).size(), c.block1);
    }
}

TEST(QnSimModel, ScannerFindsFramesAcrossChunksAndNoise) {
    qnsim::FrameScanner scanner(true, true);
    const Bytes stream{0xFF, 0x13, 0x02, 0x01, 0x8E, 0x00, 0x8F, 0x01, 0xF0, 0x00};
    for (std::uint8_t b : stream) {
        scanner.feed(&b, 1);
    }
    auto first = scanner.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->framing, qnsim::Framing::Stx);
    EXPECT_EQ(first->command, 0x8E);
    EXPECT_FALSE(scanner.next()); // CRC frame still missing its check bytes
    const std::uint16_t crc = qnsim::crc16Modbus(stream.data() + 7, 3);
    const Bytes tail{static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
    scanner.feed(tail.data(), tail.size());
    auto second = scanner.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->framing, qnsim::Framing::Crc);
    EXPECT_EQ(second->command, 0xF0);
    EXPECT_EQ(scanner.pending(), 0u);
}

TEST(QnSimModel, ScannerGivesUpAnUnfinishedFrameOnlyWhenTheLineIsIdle) {
    qnsim::FrameScanner scanner(true, false);
    const Bytes stream{0x02, 0x01, 0x81, 0x10, 0x02, 0x01, 0xF0, 0x00, 0xF1};
    scanner.feed(stream.data(), stream.size());
    EXPECT_FALSE(scanner.next(false));
    auto req = scanner.next(true);
    ASSERT_TRUE(req);
    EXPECT_EQ(req->command, 0xF0);
}

TEST(QnSimModel, ScannerBufferStaysBounded) {
    qnsim::FrameScanner scanner(true, true);
    const Bytes header{0x02, 0x01, 0x81, 0xFF};
    for (int i = 0; i < 5000; ++i) {
        scanner.feed(header.data(), header.size());
    }
    EXPECT_LE(scanner.pending(), qnsim::FrameScanner::kMaxPending);
}

TEST(QnSimModel, MalformedStateValuesAreSkippedAndReported) {
    qnsim::ReaderModel model({});
    const auto skipped = model.applyState(qnsim::ReaderModel::parseStateText(
        "block1=\nblock2=1FF\nblock3=0D 0A FF\nbaud=fast\nline=7\npassword.300=01\n"
        "password.x=01\ndtr=1\r\n=novalue\nnoequals\n"));
    EXPECT_EQ(model.block(1).size(), 40u);
    EXPECT_EQ(model.block(2), (Bytes{0xFF}));
    EXPECT_EQ(model.block(3), (Bytes{0x0D, 0x0A, 0xFF}));
    EXPECT_EQ(model.baud(), 19200);
    EXPECT_EQ(model.line(), 0);
    const std::string text = model.stateText();
    EXPECT_NE(text.find("dtr=1\n"), std::string::npos);
    EXPECT_EQ(text.find("password."), std::string::npos);
    EXPECT_EQ(skipped.size(), 6u);
}

TEST(QnSimModel, EachMalformedStateValueIsSkippedAlone) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"baud=1234", "baud"},
        {"baud=19200x", "baud"},
        {"line=-1", "line"},
        {"mode=4", "mode"},
        {"stored_mode=", "stored_mode"},
        {"usb_interface=0", "usb_interface"},
        {"relay=2", "relay"},
        {"block6=0A 100", "block6"},
        {"block4=", "block4"},
        {"password=GG", "password"},
        {"transponder_config=1 2 x", "transponder_config"},
        {"password.-1=01", "password.-1"},
    };
    for (const auto& [line, key] : cases) {
        SCOPED_TRACE(line);
        qnsim::ReaderModel model({});
        const std::string before = model.stateText();
        EXPECT_EQ(model.applyState(qnsim::ReaderModel::parseStateText(line)),
                  std::vector<std::string>{key});
        EXPECT_EQ(model.stateText(), before);
    }
}

TEST(QnSimModel, StateTextRoundTrips) {
    qnsim::ReaderModel a({0x029, '7'});
    a.handle({qnsim::Framing::Stx, 1, 0x88, {2, 1, 2, 3, 4}});
    a.handle({qnsim::Framing::Stx, 1, 0x82, {0x41, 0x42, 0xFF}});
    a.handle({qnsim::Framing::Stx, 1, 0xF4, {0x83}});
    qnsim::ReaderSetup setup;
    const auto map = qnsim::ReaderModel::parseStateText(a.stateText());
    qnsim::ReaderModel::applyIdentity(map, &setup);
    qnsim::ReaderModel b(setup);
    EXPECT_TRUE(b.applyState(map).empty());
    EXPECT_EQ(b.stateText(), a.stateText());
    EXPECT_EQ(b.block(1).size(), 12u);
}

} // namespace
