// Framing, CRC, the reply scanner and validator, and the block-1 conversions.
#include "devicelink/Protocol.h"

#include <gtest/gtest.h>

#include <string>

using namespace qnlink;

namespace {

TEST(ProtocolTest, CrcMatchesTheModbusCheckValues) {
    struct Case {
        Bytes bytes;
        std::uint16_t crc;
    };
    const Case cases[] = {
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x4B37}, // the standard check value
        {{}, 0xFFFF},
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xCDC5}, // read holding registers 0..9 of 1
        {{0x01, 0xF0, 0x00}, 0x0064},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc16Modbus(c.bytes), c.crc) << c.bytes.size();
    }
}

TEST(ProtocolTest, RequestsAreFramedByteExact) {
    struct Case {
        Framing framing;
        std::uint8_t address;
        std::uint8_t command;
        Bytes data;
        Bytes frame;
    };
    const Case cases[] = {
        {Framing::StxBcc, 1, 0xF0, {}, {0x02, 0x01, 0xF0, 0x00, 0xF1}},
        {Framing::StxBcc, 5, 0xF4, {0x81}, {0x02, 0x05, 0xF4, 0x01, 0x81, 0x71}},
        {Framing::StxBcc, 1, 0xF6, {0x00, 0x00}, {0x02, 0x01, 0xF6, 0x02, 0x00, 0x00, 0xF5}},
        {Framing::Crc, 1, 0xF0, {}, {0x01, 0xF0, 0x00, 0x64, 0x00}},
        {Framing::Crc, 0, 0x8E, {}, {0x00, 0x8E, 0x00, 0x14, 0x60}},
    };
    for (const auto& c : cases) {
        const Bytes frame = buildRequest(c.framing, c.address, c.command, c.data);
        EXPECT_EQ(frame, c.frame) << std::hex << int(c.command);
        if (c.framing == Framing::Crc) {
            const std::uint16_t crc = crc16Modbus(std::span(frame).first(frame.size() - 2));
            EXPECT_EQ(frame[frame.size() - 2], crc & 0xFF);
            EXPECT_EQ(frame[frame.size() - 1], crc >> 8);
        }
    }
    // The largest request: 255 data bytes with LEN 0xFF.
    const Bytes big(255, 0xAA);
    const Bytes frame = buildRequest(Framing::StxBcc, 1, 0x83, big);
    ASSERT_EQ(frame.size(), 260u);
    EXPECT_EQ(frame[3], 0xFF);
}

Bytes stxReply(std::uint8_t status, const Bytes& data) {
    Bytes r{0x02, 0x01, status, static_cast<std::uint8_t>(data.size())};
    r.insert(r.end(), data.begin(), data.end());
    std::uint8_t x = 0;
    for (std::size_t i = 1; i < r.size(); ++i) {
        x ^= r[i];
    }
    r.push_back(x);
    return r;
}

Bytes crcReply(std::uint8_t status, const Bytes& data) {
    Bytes r{0x01, status, static_cast<std::uint8_t>(data.size())};
    r.insert(r.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16Modbus(r);
    r.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    r.push_back(static_cast<std::uint8_t>(crc >> 8));
    return r;
}

TEST(ProtocolTest, ScannerFollowsThePhasesAndSkipsOnlyStxGarbage) {
    struct Case {
        const char* name;
        Framing framing;
        Bytes queue;
        ReplyPhase phase;
        std::size_t remaining; // queue size after the scan
    };
    const Bytes ok = stxReply(0, {'2', '4', '4', 'K'});
    Bytes garbageFirst{0x5A, 0xA5, 0x00};
    garbageFirst.insert(garbageFirst.end(), ok.begin(), ok.end());
    const Bytes crcOk = crcReply(0, {'2', '4', '4', 'K'});
    Bytes crcGarbage{0x5A, 0xA5, 0x00};
    crcGarbage.insert(crcGarbage.end(), crcOk.begin(), crcOk.end());
    const Case cases[] = {
        {"empty", Framing::StxBcc, {}, ReplyPhase::WaitHeader, 0},
        {"three bytes", Framing::StxBcc, {0x02, 0x01, 0x00}, ReplyPhase::WaitHeader, 3},
        {"header only", Framing::StxBcc, {0x02, 0x01, 0x00, 0x04}, ReplyPhase::WaitBody, 4},
        {"whole", Framing::StxBcc, ok, ReplyPhase::Complete, ok.size()},
        {"garbage first", Framing::StxBcc, garbageFirst, ReplyPhase::Complete, ok.size()},
        {"only garbage", Framing::StxBcc, {0x10, 0x11, 0x12, 0x13, 0x14}, ReplyPhase::SeekStx, 3},
        {"stx in last three", Framing::StxBcc, {9, 9, 0x02, 0x01}, ReplyPhase::SeekStx, 3},
        {"stx found, LEN missing", Framing::StxBcc, {9, 0x02, 0x01, 0x00}, ReplyPhase::WaitBody, 3},
        {"crc header only", Framing::Crc, {0x01, 0x00, 0x04, 0x32}, ReplyPhase::WaitBody, 4},
        {"crc whole", Framing::Crc, crcOk, ReplyPhase::Complete, crcOk.size()},
        // CRC framing has no start byte: garbage is taken as the header.
        {"crc garbage", Framing::Crc, crcGarbage, ReplyPhase::Complete, crcGarbage.size()},
    };
    for (const auto& c : cases) {
        Bytes q = c.queue;
        EXPECT_EQ(scanReply(c.framing, q), c.phase) << c.name;
        EXPECT_EQ(q.size(), c.remaining) << c.name;
    }
}

TEST(ProtocolTest, ValidatorReportsEachFault) {
    struct Case {
        const char* name;
        Framing framing;
        Bytes reply;
        int error;
        Bytes data;
    };
    Bytes badBcc = stxReply(0, {1, 2});
    badBcc.back() ^= 0xFF;
    Bytes badCrc = crcReply(0, {1, 2});
    badCrc[badCrc.size() - 1] ^= 0x01;
    Bytes swappedCrc = crcReply(0, {1, 2});
    std::swap(swappedCrc[swappedCrc.size() - 1], swappedCrc[swappedCrc.size() - 2]);
    Bytes trailing = stxReply(0, {7});
    trailing.push_back(0x99);
    const Case cases[] = {
        {"stx ok", Framing::StxBcc, stxReply(0, {1, 2}), 0, {1, 2}},
        {"stx empty data", Framing::StxBcc, stxReply(0, {}), 0, {}},
        {"stx status 5", Framing::StxBcc, stxReply(5, {}), 5, {}},
        {"stx bad bcc", Framing::StxBcc, badBcc, 14, {}},
        {"crc ok", Framing::Crc, crcReply(0, {1, 2}), 0, {1, 2}},
        {"crc status 0x31", Framing::Crc, crcReply(0x31, {}), 0x31, {}},
        {"crc bad", Framing::Crc, badCrc, 14, {}},
        {"crc high byte first", Framing::Crc, swappedCrc, 14, {}},
        {"nothing", Framing::StxBcc, {}, 16, {}},
        {"four bytes", Framing::StxBcc, {0x02, 0x01, 0x00, 0x00}, 16, {}},
        {"short of LEN", Framing::StxBcc, {0x02, 0x01, 0x00, 0x03, 0x01, 0x02}, 16, {}},
        {"bytes after the frame", Framing::StxBcc, trailing, 0, {7}},
    };
    for (const auto& c : cases) {
        const ReplyResult r = validateReply(c.framing, c.reply);
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_EQ(r.data, c.data) << c.name;
    }
}

TEST(ProtocolTest, OldBlock1IsConvertedToTheCurrentLayout) {
    struct Case {
        const char* name;
        Bytes old;
        Bytes current;
    };
    const Case cases[] = {
        {"exactly 11 bytes, high bit set",
         {0x0A, 0x81, 0x03, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 5, 5},
         {5, 0x03, 0x10, 0x20, 0x30, 0x40, 1, 0x50, 0x60, 5, 1, 0, 0}},
        {"transponder 0 forces format 1",
         {0x0A, 0x00, 0x09, 1, 2, 3, 4, 5, 6, 5, 5},
         {0, 1, 1, 2, 3, 4, 0, 5, 6, 5, 1, 0, 0}},
        {"transponder 7 forces format 2",
         {0x0A, 0x07, 0x09, 1, 2, 3, 4, 5, 6, 5, 5},
         {0, 2, 1, 2, 3, 4, 0, 5, 6, 5, 1, 0, 0}},
        {"12 bytes with used bytes and a low nibble",
         {0x0A, 0x03, 0x04, 1, 2, 3, 4, 5, 6, 5, 5, 0x71},
         {4, 4, 1, 2, 3, 4, 2, 5, 6, 7, 1, 0, 0}},
        {"12 bytes below 16 keeps 5",
         {0x0A, 0x85, 0x04, 1, 2, 3, 4, 5, 6, 5, 5, 0x0F},
         {3, 4, 1, 2, 3, 4, 3, 5, 6, 5, 1, 0, 0}},
        {"unknown transponder code",
         {0x0A, 0x04, 0x04, 1, 2, 3, 4, 5, 6, 5, 5, 0x50},
         {0, 4, 1, 2, 3, 4, 0, 5, 6, 5, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        Bytes out;
        ASSERT_TRUE(block1FromOldLayout(c.old, out)) << c.name;
        EXPECT_EQ(out, c.current) << c.name;
    }
    const std::pair<std::uint8_t, std::uint8_t> transponders[] = {{1, 5}, {2, 2}, {3, 4}, {5, 3},
                                                                  {6, 6}, {8, 7}, {9, 0}};
    for (auto [old, current] : transponders) {
        Bytes in{0x0A, old, 3, 0, 0, 0, 0, 0, 0, 5, 5};
        Bytes out;
        ASSERT_TRUE(block1FromOldLayout(in, out));
        EXPECT_EQ(out[0], current) << int(old);
    }
    Bytes out{1, 2, 3};
    EXPECT_FALSE(block1FromOldLayout(Bytes(10, 0), out));
}

TEST(ProtocolTest, CurrentBlock1IsConvertedToTheOldLayout) {
    struct Case {
        const char* name;
        Bytes current;
        bool extra;
        Bytes old;
    };
    const Case cases[] = {
        {"11 bytes without the extra byte",
         {5, 3, 0x10, 0x20, 0x30, 0x40, 1, 0x50, 0x60, 7, 1, 0},
         false,
         {0x0A, 0x81, 3, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 5, 5}},
        {"extra byte, c6 = 1",
         {5, 3, 1, 2, 3, 4, 1, 5, 6, 7, 1, 0},
         true,
         {0x0A, 0x81, 3, 1, 2, 3, 4, 5, 6, 5, 5, 0x70}},
        {"extra byte, c6 = 2",
         {4, 3, 1, 2, 3, 4, 2, 5, 6, 7, 1, 0},
         true,
         {0x0A, 0x03, 3, 1, 2, 3, 4, 5, 6, 5, 5, 0x71}},
        {"extra byte, c6 = 3",
         {2, 3, 1, 2, 3, 4, 3, 5, 6, 9, 1, 0, 0},
         true,
         {0x0A, 0x82, 3, 1, 2, 3, 4, 5, 6, 5, 5, 0x91}},
        {"code 0 with format 2",
         {0, 2, 1, 2, 3, 4, 1, 5, 6, 5, 1, 0},
         false,
         {0x0A, 0x07, 2, 1, 2, 3, 4, 5, 6, 5, 5}},
        {"code 0 with format 1 has no high bit",
         {0, 1, 1, 2, 3, 4, 1, 5, 6, 5, 1, 0},
         false,
         {0x0A, 0x00, 1, 1, 2, 3, 4, 5, 6, 5, 5}},
    };
    for (const auto& c : cases) {
        Bytes out;
        ASSERT_TRUE(block1ToOldLayout(c.current, c.extra, out)) << c.name;
        EXPECT_EQ(out, c.old) << c.name;
    }
    // Transponder byte for every current code, without and with the high bit.
    const std::pair<std::uint8_t, std::uint8_t> codes[] = {
        {1, 0}, {2, 2}, {3, 5},  {4, 3},  {5, 1},  {6, 6},  {7, 8},
        {8, 9}, {9, 5}, {10, 0}, {11, 0}, {12, 3}, {13, 0}, {255, 0}};
    for (auto [current, old] : codes) {
        Bytes out;
        Bytes in{current, 3, 0, 0, 0, 0, 0, 0, 0, 5, 1, 0};
        ASSERT_TRUE(block1ToOldLayout(in, false, out));
        EXPECT_EQ(out[1], old) << int(current);
        in[6] = 3;
        ASSERT_TRUE(block1ToOldLayout(in, false, out));
        EXPECT_EQ(out[1], old == 0 ? 0 : old + 0x80) << int(current);
    }
    Bytes out;
    EXPECT_FALSE(block1ToOldLayout(Bytes(11, 0), true, out));
}

TEST(ProtocolTest, Block1SurvivesAReadWriteRoundTrip) {
    // What a reader with the extra byte stores comes back unchanged after read and write.
    const Bytes stored[] = {
        {0x0A, 0x81, 3, 1, 2, 3, 4, 5, 6, 5, 5, 0x70},
        {0x0A, 0x03, 4, 1, 2, 3, 4, 5, 6, 5, 5, 0x71},
        {0x0A, 0x88, 1, 9, 9, 9, 9, 8, 8, 5, 5, 0xA1},
        {0x0A, 0x07, 2, 0, 0, 0, 0, 0, 0, 5, 5, 0x50},
    };
    for (const auto& old : stored) {
        Bytes current, back;
        ASSERT_TRUE(block1FromOldLayout(old, current));
        ASSERT_TRUE(block1ToOldLayout(current, true, back));
        EXPECT_EQ(back, old);
    }
}

} // namespace
