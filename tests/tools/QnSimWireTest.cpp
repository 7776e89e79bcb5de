// The simulator program driven through its pseudo-terminal with raw frames, the way a reader
// is seen on the wire.
#include "tests/support/SimProcess.h"
#include "tests/tools/RawPort.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace rawport;
using veltra::test::SimProcess;

namespace {

std::string hex(const Bytes& b) {
    std::string s;
    char cell[4];
    for (std::uint8_t x : b) {
        std::snprintf(cell, sizeof cell, "%02X ", x);
        s += cell;
    }
    return s;
}

// Expected reply: same frame shape as a request, STATUS in place of the command.
Bytes stxReply(std::uint8_t status, const Bytes& data = {}, std::uint8_t address = 1) {
    return stxFrame(address, status, data);
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const Bytes kDefault244Block1{0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x0A, 0x05,
                              0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                              0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x0A, 0x05,
                              0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};

TEST(QnSimWire, CrcOfTheTestSideMatchesTheModbusCheckValue) {
    EXPECT_EQ(crc16(text("123456789")), 0x4B37);
}

struct IdentCase {
    const char* name;
    std::vector<std::string> args;
    Bytes request;
    Bytes reply; // empty: no answer expected
};

TEST(QnSimWire, IdentificationInBothFramings) {
    const std::vector<IdentCase> cases = {
        {"stx default",
         {},
         {0x02, 0x01, 0xF0, 0x00, 0xF1},
         {0x02, 0x01, 0x00, 0x04, '2', '4', '4', 'K', 0x7C}},
        {"crc default", {}, crcFrame(1, 0xF0), {0x01, 0x00, 0x04, '2', '4', '4', 'K', 0xE3, 0x81}},
        {"older reader",
         {"--type", "029", "--version", "7"},
         stxFrame(1, 0xF0),
         stxReply(0, text("0297"))},
        {"long ident text",
         {"--ident", "QN Reader 2.10"},
         crcFrame(1, 0xF0),
         crcFrame(1, 0, text("QN Reader 2.10"))},
        {"short ident text", {"--ident", "24"}, stxFrame(1, 0xF0), stxReply(0, text("24"))},
        {"crc only ignores stx", {"--framing", "crc"}, stxFrame(1, 0xF0), {}},
        {"stx only ignores crc", {"--framing", "stx"}, crcFrame(1, 0xF0), {}},
        {"stx only answers stx",
         {"--framing", "stx"},
         stxFrame(1, 0xF0),
         stxReply(0, text("244K"))},
        {"other address ignored", {"--address", "5"}, stxFrame(1, 0xF0), {}},
        {"own address answered",
         {"--address", "5"},
         crcFrame(5, 0xF0),
         crcFrame(5, 0, text("244K"))},
        {"wrong bcc ignored", {}, {0x02, 0x01, 0xF0, 0x00, 0xF2}, {}},
        {"wrong crc ignored", {}, {0x01, 0xF0, 0x00, 0x00, 0x00}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.args);
        RawPort port(sim.port());
        const Bytes got = port.exchange(c.request, c.reply.empty() ? 1 : c.reply.size(),
                                        c.reply.empty() ? 400ms : 1000ms);
        EXPECT_EQ(hex(got), hex(c.reply));
    }
}

struct BlockCase {
    const char* name;
    std::vector<std::string> args;
    int block;
    Bytes defaults; // what the reader holds before the write
    Bytes write;    // data of the write command
    std::uint8_t status;
    Bytes after; // block content after the write
};

TEST(QnSimWire, BlockWriteReadRoundTripAndStateFile) {
    const Bytes older12{0x0A, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x0A, 0x05, 0x05, 0x50};
    const Bytes older11(older12.begin(), older12.end() - 1);
    Bytes record18(kDefault244Block1.begin(), kDefault244Block1.begin() + 18);
    record18[0] = 0x85; // Hitag1 in block-sequence mode
    Bytes after18 = kDefault244Block1;
    std::copy(record18.begin(), record18.end(), after18.begin());
    Bytes full40 = kDefault244Block1;
    full40[20] = 0x02;
    const Bytes written12{0x0A, 0x85, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0x02, 0x0A, 0x05, 0x05, 0x81};
    const Bytes prefix{0x02, 0x41, 0x0D, 0xFF};

    const std::vector<BlockCase> cases = {
        {"244 block 1, both outputs", {}, 1, kDefault244Block1, full40, 0, full40},
        {"244 block 1, first output only", {}, 1, kDefault244Block1, record18, 0, after18},
        {"244 block 1, wrong size",
         {},
         1,
         kDefault244Block1,
         Bytes(20, 0),
         0x02,
         kDefault244Block1},
        {"231 block 1 is 18 bytes",
         {"--type", "231"},
         1,
         Bytes(kDefault244Block1.begin(), kDefault244Block1.begin() + 18),
         record18,
         0,
         record18},
        {"029 v7 block 1 in the older 12-byte layout",
         {"--type", "029", "--version", "7"},
         1,
         older12,
         written12,
         0,
         written12},
        {"029 v3 refuses 12 bytes",
         {"--type", "029", "--version", "3"},
         1,
         older11,
         written12,
         0x02,
         older11},
        {"029 v3 takes 11 bytes",
         {"--type", "029", "--version", "3"},
         1,
         older11,
         Bytes(written12.begin(), written12.end() - 1),
         0,
         Bytes(written12.begin(), written12.end() - 1)},
        {"prefix", {}, 2, {0xFF}, prefix, 0, prefix},
        {"suffix", {}, 3, {0x0D, 0x0A, 0xFF}, {0x03, 0xFF}, 0, {0x03, 0xFF}},
        {"separator", {}, 4, {0xFF}, {0x2C, 0xFF}, 0, {0x2C, 0xFF}},
        {"pull-off", {}, 5, {0xFF}, {0x07, 0x11, 0xFF}, 0, {0x07, 0x11, 0xFF}},
        {"sequence too long", {}, 2, {0xFF}, Bytes(101, 0x41), 0x02, {0xFF}},
        {"empty sequence write", {}, 2, {0xFF}, {}, 0x02, {0xFF}},
        {"parameters",
         {},
         6,
         {0x00, 0x0A, 0x3F, 0x05},
         {0x01, 0x14, 0x21, 0x0A},
         0,
         {0x01, 0x14, 0x21, 0x0A}},
        {"parameters wrong size",
         {},
         6,
         {0x00, 0x0A, 0x3F, 0x05},
         {0x01, 0x14, 0x21},
         0x02,
         {0x00, 0x0A, 0x3F, 0x05}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.args);
        RawPort port(sim.port());
        const auto readCmd = static_cast<std::uint8_t>(0x88 + c.block);
        const auto writeCmd = static_cast<std::uint8_t>(0x80 + c.block);
        const Bytes before = stxReply(0, c.defaults);
        EXPECT_EQ(hex(port.exchange(stxFrame(1, readCmd), before.size())), hex(before));
        EXPECT_EQ(hex(sim.block(c.block)), hex(c.defaults));

        const Bytes ack = stxReply(c.status);
        EXPECT_EQ(hex(port.exchange(stxFrame(1, writeCmd, c.write), ack.size())), hex(ack));
        EXPECT_EQ(hex(sim.block(c.block)), hex(c.after));

        // Read back in the other framing.
        const Bytes back = crcFrame(1, 0, c.after);
        EXPECT_EQ(hex(port.exchange(crcFrame(1, readCmd), back.size())), hex(back));
    }
}

struct CommandCase {
    const char* name;
    Bytes request; // data of command `cmd`
    std::uint8_t cmd;
    std::uint8_t status;
    Bytes replyData;
    const char* key; // state key that must read `value` afterwards, or nullptr
    const char* value;
};

TEST(QnSimWire, SingleCommandsAndTheirStateKeys) {
    const std::vector<CommandCase> cases = {
        {"power-on mode read", {}, 0xF4, 0, {0x81}, "stored_mode", "1"},
        {"set mode 0", {0x00}, 0xF4, 0, {}, "mode", "0"},
        {"set reader mode, stored", {0x81}, 0xF4, 0, {}, "stored_mode", "1"},
        {"store programming mode", {0x80}, 0xF4, 0, {}, "stored_mode", "0"},
        {"store no-output mode", {0x83}, 0xF4, 0, {}, "stored_mode", "3"},
        {"mode 3 not stored", {0x03}, 0xF4, 0, {}, "stored_mode", "1"},
        {"mode 4 refused", {0x04}, 0xF4, 0x03, {}, "mode", "0"},
        {"mode 130 refused", {0x82}, 0xF4, 0x03, {}, "stored_mode", "1"},
        {"dtr read", {}, 0xFE, 0, {0x00, 0x00}, "dtr", "0"},
        {"dtr write", {0x01}, 0xFE, 0, {}, "dtr", "1"},
        {"dtr value 2 refused", {0x02}, 0xFE, 0x03, {}, "dtr", "0"},
        {"usb interface keyboard", {0x01}, 0xFF, 0, {}, "usb_interface", "1"},
        {"usb interface 3 refused", {0x03}, 0xFF, 0x03, {}, "usb_interface", "2"},
        {"password", {0x44, 0x33, 0x22, 0x11}, 0x80, 0, {}, "password", "44 33 22 11"},
        {"password of 3 bytes", {0x44, 0x33, 0x22}, 0x80, 0x02, {}, "password", nullptr},
        {"typed password", {48, 0x78, 0x56, 0x34, 0x12}, 0x88, 0, {}, "password.48", "78 56 34 12"},
        {"transponder config", {0x00, 0x4A}, 0xF1, 0, {}, "transponder_config", "00 4A"},
        {"transponder config empty", {}, 0xF1, 0x02, {}, "transponder_config", nullptr},
        {"reset returns to the power-on mode", {0x00, 0x00}, 0xF6, 0, {}, "mode", "1"},
        {"unknown command", {}, 0x42, 0x01, {}, nullptr, nullptr},
        {"baud code 11 refused", {0x0B}, 0xF2, 0x03, {}, "baud", "19200"},
        {"parity code 4 refused", {0x43}, 0xF2, 0x03, {}, "line", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim;
        RawPort port(sim.port());
        const Bytes reply = stxReply(c.status, c.replyData);
        EXPECT_EQ(hex(port.exchange(stxFrame(1, c.cmd, c.request), reply.size())), hex(reply));
        if (c.key != nullptr) {
            EXPECT_EQ(sim.value(c.key),
                      c.value ? std::optional<std::string>(c.value) : std::nullopt);
        }
    }
}

TEST(QnSimWire, StoredPowerOnModeIsReadBack) {
    SimProcess sim;
    RawPort port(sim.port());
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4, {0x80}), 5), stxReply(0));
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4), 6), stxReply(0, {0x80}));
    EXPECT_EQ(port.exchange(crcFrame(1, 0xF4, {0x83}), 5), crcFrame(1, 0));
    EXPECT_EQ(port.exchange(crcFrame(1, 0xF4), 6), crcFrame(1, 0, {0x83}));
    EXPECT_EQ(sim.value("mode"), "3");
    EXPECT_EQ(sim.value("stored_mode"), "3");
}

struct LineCase {
    const char* name;
    std::vector<std::string> args;
    speed_t clientSpeed;
    int clientLine;
    bool answered;
};

TEST(QnSimWire, FramesAtAnotherLineSettingAreIgnored) {
    const std::vector<LineCase> cases = {
        {"same speed", {"--baud", "9600"}, B9600, 0, true},
        {"client faster", {"--baud", "4800"}, B19200, 0, false},
        {"client slower", {}, B9600, 0, false},
        {"even parity both", {"--line", "1"}, B19200, 1, true},
        {"odd parity both", {"--line", "2"}, B19200, 2, true},
        {"reader even, client odd", {"--line", "1"}, B19200, 2, false},
        {"reader odd, client none", {"--line", "2"}, B19200, 0, false},
        {"reader odd, client even", {"--line", "2"}, B19200, 1, false},
        {"two stop bits both", {"--line", "3"}, B19200, 3, true},
        {"reader two stop bits, client one", {"--line", "3"}, B19200, 0, false},
        {"reader none, client odd", {}, B19200, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.args);
        RawPort port(sim.port(), c.clientSpeed, c.clientLine);
        const Bytes expected = c.answered ? stxReply(0, text("244K")) : Bytes{};
        EXPECT_EQ(hex(port.exchange(stxFrame(1, 0xF0), c.answered ? expected.size() : 1,
                                    c.answered ? 1000ms : 300ms)),
                  hex(expected));
    }
}

struct BaudCase {
    std::uint8_t code;
    speed_t speed;
    int line;
    const char* baud;
};

TEST(QnSimWire, BaudRateCommandAnswersAtTheOldRateThenSwitches) {
    const std::vector<BaudCase> cases = {
        {0x02, B9600, 0, "9600"},     {0x11, B4800, 1, "4800"}, {0x23, B19200, 2, "19200"},
        {0x36, B115200, 3, "115200"}, {0x00, B2400, 0, "2400"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        SimProcess sim;
        RawPort port(sim.port());
        EXPECT_EQ(hex(port.exchange(stxFrame(1, 0xF2, {c.code}), 5)), hex(stxReply(0)));
        EXPECT_EQ(sim.value("baud"), c.baud);
        EXPECT_EQ(sim.value("line"), std::to_string(c.line));
        if (c.speed != B19200 || c.line != 0) {
            // The old setting is no longer answered.
            EXPECT_TRUE(port.exchange(stxFrame(1, 0xF0), 1, 300ms).empty());
        }
        port.configure(c.speed, c.line);
        EXPECT_EQ(hex(port.exchange(stxFrame(1, 0xF0), 9)), hex(stxReply(0, text("244K"))));
    }
}

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    bool crc;
    Bytes expected;
};

TEST(QnSimWire, EachFaultKindDamagesTheReplyAsNamed) {
    const Bytes good{0x02, 0x01, 0x00, 0x04, '2', '4', '4', 'K', 0x7C};
    const Bytes goodCrc{0x01, 0x00, 0x04, '2', '4', '4', 'K', 0xE3, 0x81};
    Bytes garbage{0x5A, 0xA5, 0x00};
    Bytes garbageStx = garbage;
    garbageStx.insert(garbageStx.end(), good.begin(), good.end());
    Bytes garbageCrc = garbage;
    garbageCrc.insert(garbageCrc.end(), goodCrc.begin(), goodCrc.end());
    const std::vector<FaultCase> cases = {
        {"bad-check stx",
         {"--fault", "bad-check"},
         false,
         {0x02, 0x01, 0x00, 0x04, '2', '4', '4', 'K', 0x83}},
        {"bad-check crc",
         {"--fault", "bad-check"},
         true,
         {0x01, 0x00, 0x04, '2', '4', '4', 'K', 0xE3, 0x7E}},
        {"garbage stx", {"--fault", "garbage"}, false, garbageStx},
        {"garbage crc", {"--fault", "garbage"}, true, garbageCrc},
        {"header-only stx", {"--fault", "header-only"}, false, {0x02, 0x01, 0x00, 0x04}},
        {"header-only crc", {"--fault", "header-only"}, true, {0x01, 0x00, 0x04}},
        {"silent", {"--fault", "silent"}, false, {}},
        {"split", {"--fault", "split"}, false, good},
        {"status", {"--status", "05"}, false, {0x02, 0x01, 0x05, 0x00, 0x04}},
        {"status crc", {"--status", "1F"}, true, crcFrame(1, 0x1F)},
        {"other command spared", {"--fault", "silent", "--fault-command", "F4"}, false, good},
        {"this command hit", {"--fault", "silent", "--fault-command", "f0"}, false, {}},
        {"count 0 spares all", {"--status", "05", "--fault-count", "0"}, false, good},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.args);
        RawPort port(sim.port());
        const Bytes request = c.crc ? crcFrame(1, 0xF0) : stxFrame(1, 0xF0);
        const Bytes got =
            port.exchange(request, c.expected.empty() ? 1 : c.expected.size() + 1, 400ms);
        EXPECT_EQ(hex(got), hex(c.expected));
    }
}

TEST(QnSimWire, SplitReplyArrivesInTwoPiecesWithAPause) {
    SimProcess sim({"--fault", "split"});
    RawPort port(sim.port());
    const auto t0 = std::chrono::steady_clock::now();
    port.write(stxFrame(1, 0xF0));
    const Bytes first = port.read(4, 1000ms);
    const Bytes rest = port.read(5, 1000ms);
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(hex(first), "02 01 00 04 ");
    EXPECT_EQ(hex(rest), "32 34 34 4B 7C ");
    EXPECT_GE(took, 35ms); // the pause between the halves is part of the reply
}

TEST(QnSimWire, FaultCountAndCommandLimitWhichRequestsAreHit) {
    SimProcess sim({"--status", "07", "--fault-command", "F4", "--fault-count", "2"});
    RawPort port(sim.port());
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF0), 9), stxReply(0, text("244K")));
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4, {0x81}), 5), stxReply(7));
    EXPECT_EQ(sim.value("mode"), "0"); // a refused request changes nothing
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4), 5), stxReply(7));
    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4), 6), stxReply(0, {0x81}));
}

TEST(QnSimWire, SilentRequestIsNotCarriedOut) {
    SimProcess sim({"--fault", "silent", "--fault-count", "1"});
    RawPort port(sim.port());
    EXPECT_TRUE(port.exchange(stxFrame(1, 0x86, {1, 2, 3, 4}), 1, 300ms).empty());
    EXPECT_EQ(sim.block(6), (Bytes{0x00, 0x0A, 0x3F, 0x05}));
    EXPECT_EQ(port.exchange(stxFrame(1, 0x86, {1, 2, 3, 4}), 5), stxReply(0));
    EXPECT_EQ(sim.block(6), (Bytes{1, 2, 3, 4}));
}

TEST(QnSimWire, SurvivesGarbageAndOversizeFrames) {
    SimProcess sim;
    RawPort port(sim.port());
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20; ++round) {
        Bytes noise(static_cast<std::size_t>(50 + round * 37));
        for (auto& b : noise) {
            b = static_cast<std::uint8_t>(byte(rng));
        }
        port.write(noise);
    }
    // A header that announces more data than ever comes, in both framings.
    port.write({0x02, 0x01, 0x81, 0xFF, 0x00, 0x01});
    port.write({0x01, 0x82, 0xFF, 0x00});
    // A frame that is longer than any the reader takes and a stream of STX bytes.
    port.write(Bytes(300, 0x02));
    // Until the line has been quiet for a moment, the reader may still count a request's first
    // bytes as the tail of the noise, as a real one would; so it is asked until it answers.
    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt) {
        port.drain(300ms);
        port.write(stxFrame(1, 0xF0));
        answered = port.read(9, 500ms) == stxReply(0, text("244K"));
    }
    EXPECT_TRUE(answered) << sim.log();
    // Once in step again, every request is answered exactly.
    EXPECT_EQ(hex(port.exchange(stxFrame(1, 0xF0), 9)), hex(stxReply(0, text("244K"))));
    EXPECT_EQ(hex(port.exchange(crcFrame(1, 0x8E), 9)),
              hex(crcFrame(1, 0, {0x00, 0x0A, 0x3F, 0x05})));
    EXPECT_EQ(sim.block(6), (Bytes{0x00, 0x0A, 0x3F, 0x05}));
}

TEST(QnSimWire, ValidFrameBehindAnUnfinishedHeaderIsAnsweredAfterTheLineGoesQuiet) {
    SimProcess sim;
    RawPort port(sim.port());
    Bytes request{0x02, 0x01, 0x81, 0x40};
    const Bytes ident = stxFrame(1, 0xF0);
    request.insert(request.end(), ident.begin(), ident.end());
    EXPECT_EQ(hex(port.exchange(request, 9, 1500ms)), hex(stxReply(0, text("244K"))));
}

TEST(QnSimWire, FrameLikeBytesInsideBlockDataAreData) {
    SimProcess sim;
    RawPort port(sim.port());
    // Block 2 data that contains a complete identification request of its own.
    const Bytes data{0x02, 0x01, 0xF0, 0x00, 0xF1, 0x0D, 0xFF};
    const Bytes frame = stxFrame(1, 0x82, data);
    port.write(Bytes(frame.begin(), frame.begin() + 9));
    std::this_thread::sleep_for(30ms);
    port.write(Bytes(frame.begin() + 9, frame.end()));
    EXPECT_EQ(hex(port.read(20, 500ms)), hex(stxReply(0)));
    EXPECT_EQ(sim.block(2), data);
}

TEST(QnSimWire, ReaderModeAnswersPromptRelayAndBuzzer) {
    SimProcess sim({"--mode", "1", "--interval", "0", "--telegram", "\\x0212AB\\r\\n"});
    RawPort port(sim.port());
    EXPECT_TRUE(port.drain(200ms).empty()); // interval 0: nothing without a prompt
    port.write({'?'});
    EXPECT_EQ(port.read(7, 1000ms), text("\x02"
                                         "12AB\r\n"));
    port.write({0x11});
    EXPECT_TRUE(sim.waitForValue("relay", "1"));
    port.write({0x07, 0x07});
    EXPECT_TRUE(sim.waitForValue("buzzer_count", "2"));
    port.write({0x13});
    EXPECT_TRUE(sim.waitForValue("relay", "0"));
    // Commands are still answered, and the prompt follows block 6.
    EXPECT_EQ(port.exchange(stxFrame(1, 0x86, {0x01, 0x0A, '#', 0x05}), 5), stxReply(0));
    port.write({'#'});
    EXPECT_EQ(port.read(7, 1000ms), text("\x02"
                                         "12AB\r\n"));
    port.write({'?'});
    EXPECT_TRUE(port.drain(200ms).empty());
}

TEST(QnSimWire, ReaderModeSendsTelegramsOnTheIntervalOnlyInMode1) {
    SimProcess sim({"--interval", "100"});
    RawPort port(sim.port());
    EXPECT_TRUE(port.drain(300ms).empty()); // programming mode: silent
    port.write({'?', 0x07});
    EXPECT_TRUE(port.drain(150ms).empty());
    EXPECT_EQ(sim.value("buzzer_count"), "0");

    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4, {0x01}), 5), stxReply(0));
    const Bytes got = port.drain(450ms);
    const std::string s(got.begin(), got.end());
    EXPECT_GE(s.size(), 2 * 12u) << s;
    EXPECT_EQ(s.substr(0, 12), "0415E3A2C7\r\n");

    EXPECT_EQ(port.exchange(stxFrame(1, 0xF4, {0x02}), 5, 1000ms).size() >= 5, true);
    port.drain(150ms);
    EXPECT_TRUE(port.drain(300ms).empty()); // mode 2: no telegrams
}

TEST(QnSimWire, ClientAtAnotherBaudRateGetsNoTelegrams) {
    SimProcess sim({"--mode", "1", "--interval", "50", "--baud", "9600"});
    RawPort port(sim.port(), B19200);
    port.drain(100ms); // what went out before the client set its speed
    EXPECT_TRUE(port.drain(300ms).empty());
    port.configure(B9600, 0);
    EXPECT_FALSE(port.drain(300ms).empty());
}

TEST(QnSimWire, PacedRepliesTakeTheirWireTime) {
    SimProcess sim({"--pace", "--baud", "2400"});
    RawPort port(sim.port(), B2400);
    const auto t0 = std::chrono::steady_clock::now();
    const Bytes got = port.exchange(stxFrame(1, 0x89), 45, 2000ms);
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(got, stxReply(0, kDefault244Block1));
    // 45 bytes of 10 bits at 2400 baud: 187.5 ms.
    EXPECT_GE(took, 170ms);
}

TEST(QnSimWire, StateFileIsLoadedAndBadValuesAreSkipped) {
    char dir[] = "/tmp/qn-sim-state.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/reader.txt";
    {
        std::ofstream out(path);
        out << "type=029\nversion=7\nblock6=01 14 21 0A\nblock2=ZZ 01\nblock3=0D FF\n"
               "stored_mode=9\nfuture_key=1\nmode=1\npassword.48=01 02 03 04\n";
    }
    {
        SimProcess sim({"--state", path, "--interval", "0"});
        RawPort port(sim.port());
        EXPECT_EQ(port.exchange(stxFrame(1, 0xF0), 9), stxReply(0, text("0297")));
        EXPECT_EQ(port.exchange(stxFrame(1, 0x8E), 9), stxReply(0, {0x01, 0x14, 0x21, 0x0A}));
        EXPECT_EQ(port.exchange(stxFrame(1, 0x8A), 6), stxReply(0, {0xFF}));
        EXPECT_EQ(port.exchange(stxFrame(1, 0x8B), 7), stxReply(0, {0x0D, 0xFF}));
        EXPECT_EQ(port.exchange(stxFrame(1, 0xF4), 6), stxReply(0, {0x81}));
        EXPECT_EQ(sim.value("password.48"), "01 02 03 04");
        EXPECT_EQ(sim.value("mode"), "1");
        // A change rewrites the whole file.
        EXPECT_EQ(port.exchange(stxFrame(1, 0x83, {0x0A, 0xFF}), 5), stxReply(0));
        EXPECT_EQ(sim.block(3), (Bytes{0x0A, 0xFF}));
        EXPECT_EQ(sim.block(6), (Bytes{0x01, 0x14, 0x21, 0x0A}));
        EXPECT_FALSE(sim.value("future_key"));
    }
    // And the next start picks the change up.
    {
        SimProcess sim({"--state", path});
        RawPort port(sim.port());
        EXPECT_EQ(port.exchange(stxFrame(1, 0x8B), 7), stxReply(0, {0x0A, 0xFF}));
    }
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(QnSimWire, DefaultStateOfAnOlderReader) {
    SimProcess sim({"--type", "029", "--version", "K"});
    const auto state = sim.state();
    EXPECT_EQ(state.at("type"), "029");
    EXPECT_EQ(state.at("block1"), "0A 00 01 FF FF FF FF 00 0A 05 05 50");
    EXPECT_EQ(state.at("block6"), "00 0A 3F 05");
    EXPECT_EQ(state.at("stored_mode"), "1");
    EXPECT_EQ(state.at("relay"), "0");
}

TEST(QnSimWire, StopsOnSigtermAndRemovesItsLink) {
    char dir[] = "/tmp/qn-sim-link.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/ttyReader";
    {
        SimProcess sim({"--link", link});
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(sim.port(), target);
        RawPort port(link);
        EXPECT_EQ(port.exchange(stxFrame(1, 0xF0), 9), stxReply(0, text("244K")));
        const int status = sim.stop();
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    rmdir(dir);
}

TEST(QnSimWire, ClientMayCloseAndReopenThePort) {
    SimProcess sim;
    for (int i = 0; i < 3; ++i) {
        RawPort port(sim.port());
        EXPECT_EQ(port.exchange(stxFrame(1, 0xF0), 9), stxReply(0, text("244K")));
    }
}

TEST(QnSimWire, HelpNamesEveryOptionFaultKindAndStateKey) {
    FILE* pipe = popen(QN_SIM_PATH " --help", "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buf[512];
    while (const std::size_t n = fread(buf, 1, sizeof buf, pipe)) {
        help.append(buf, n);
    }
    EXPECT_EQ(pclose(pipe), 0);
    for (const char* word : {"--type",
                             "--version",
                             "--ident",
                             "--framing",
                             "--address",
                             "--baud",
                             "--line",
                             "--pace",
                             "--state",
                             "--status",
                             "--fault ",
                             "--fault-command",
                             "--fault-count",
                             "--mode",
                             "--telegram",
                             "--interval",
                             "--link",
                             "--help",
                             "bad-check",
                             "garbage",
                             "header-only",
                             "silent",
                             "split",
                             "type=",
                             "version=",
                             "baud=",
                             "line=",
                             "mode=",
                             "stored_mode=",
                             "dtr=",
                             "usb_interface=",
                             "block1=",
                             "block6=",
                             "password=",
                             "password.<type>=",
                             "transponder_config=",
                             "relay=",
                             "buzzer_count="}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

TEST(QnSimWire, BadCommandLineIsRefused) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--type", "24"},
                                                 {"--fault", "noise"},
                                                 {"--line", "4"},
                                                 {"--framing", "xyz"},
                                                 {"--status", "0"},
                                                 {"--bogus"}}) {
        EXPECT_THROW(SimProcess sim(args), std::runtime_error) << args[0];
    }
}

} // namespace
