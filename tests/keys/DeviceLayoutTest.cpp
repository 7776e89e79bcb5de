#include "keys/workflow/DeviceLayout.h"

#include "keys/ComputerLayout.h"
#include "tests/support/FakeReaderLink.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TraceCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace veltra {
namespace {

constexpr int kHandle = 10001;

// A keyboard reader whose table is the US layout's keys of the 48 on-screen keys.
test::FakeReaderLink keyboardReader(const KeyLayout& layout) {
    test::FakeReaderLink link;
    link.hidConnection = true;
    for (int c = 0x21; c <= 0x7E; ++c) {
        const std::uint16_t code = KeyCodeForChar(layout, std::uint8_t(c));
        if ((code & 0xFF) != 0) {
            link.hidKeys[std::uint8_t(c)] = code;
        }
    }
    return link;
}

KeyLayout named(const char* name) {
    KeyLayout layout;
    EXPECT_TRUE(ComputerLayoutFromNames(name, nullptr, layout));
    return layout;
}

std::vector<std::string> entries(const std::vector<std::string>& log, const char* prefix) {
    std::vector<std::string> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                 [prefix](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    return out;
}

TEST(ReadDeviceLayout, AnswersLandInTheirFields) {
    test::FakeReaderLink link;
    link.hidConnection = true;
    link.hidKeys = {
        {'a', 0x0004},  // Normal on A (scan 30)
        {'A', 0x0204},  // left Shift
        {'"', 0x221F},  // both Shift keys: Shift on 2 (scan 3)
        {'@', 0x4214},  // Shift and AltGr: Shift on Q (scan 16)
        {'q', 0x0114},  // left Control is ignored: Normal on Q
        {'\\', 0x402D}, // AltGr on - (scan 12)
        {'x', 0x0068},  // usage 104: no key
        {'y', 0x002C},  // the space bar is no on-screen key
        {' ', 0x002C},
    };
    link.hidSilentQueries = 4; // the blank is answered at the fifth attempt
    KeyLayout layout;
    LayoutExchangeCount count;
    ASSERT_TRUE(ReadDeviceLayout(link, kHandle, layout, count));
    KeyLayout expected;
    expected.entries[30][KeyLayout::Normal] = 'a';
    expected.entries[30][KeyLayout::Shift] = 'A';
    expected.entries[3][KeyLayout::Shift] = '"';
    expected.entries[16][KeyLayout::Shift] = '@';
    expected.entries[16][KeyLayout::Normal] = 'q';
    expected.entries[12][KeyLayout::AltGr] = '\\';
    EXPECT_EQ(layout, expected);
    EXPECT_EQ(count.queries, 95 + 4);
    EXPECT_EQ(entries(link.log, "hidCommand").front(), "hidCommand 11 20");
    EXPECT_EQ(entries(link.log, "hidCommand").back(), "hidCommand 11 7E");

    // No answer at all: no keyboard reader; five attempts per character.
    test::FakeReaderLink silent;
    layout.entries[30][0] = 'a';
    count = {};
    EXPECT_FALSE(ReadDeviceLayout(silent, kHandle, layout, count));
    EXPECT_EQ(layout, KeyLayout{});
    EXPECT_EQ(count.queries, 95 * 5);
}

TEST(ReadDeviceLayout, AReaderWithoutKeysDiffersInEveryAssignedCharacter) {
    test::TraceCapture capture;
    test::FakeReaderLink link;
    link.hidConnection = true; // answers 0xFF 0xFF to everything
    KeyLayout layout;
    ASSERT_TRUE(ReadDeviceLayout(link, kHandle, layout));
    EXPECT_EQ(layout, KeyLayout{});
    const KeyLayout german = named("de");
    int assigned = 0;
    for (const OnScreenKey& key : kOnScreenKeys) {
        for (const std::uint8_t c : german.entries[std::size_t(key.scanCode)]) {
            assigned += c != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(assigned, 80);
    EXPECT_EQ(CountLayoutDifferences(layout, german), assigned);
}

TEST(WriteKeyMapping, FiveAttempts) {
    test::FakeReaderLink link;
    link.hidConnection = true;
    link.hidRefusals = 4;
    EXPECT_TRUE(WriteKeyMapping(link, kHandle, 'z', 0x021C));
    EXPECT_EQ(link.writes().size(), 5u);
    EXPECT_EQ(link.writes().back(), "hidControlWrite 12 7A 02 1C");
    EXPECT_EQ(link.hidKeys.at('z'), 0x021C);

    link.log.clear();
    link.hidRefusals = 5;
    EXPECT_FALSE(WriteKeyMapping(link, kHandle, 'z', 0x001C));
    EXPECT_EQ(link.writes().size(), 5u);

    link.log.clear();
    EXPECT_TRUE(WriteKeyMapping(link, kHandle, 0, 0x001C)); // nothing to send
    EXPECT_TRUE(link.log.empty());
}

TEST(ProgramLayout, SetsTheDifferencesAndReadsBack) {
    test::TraceCapture capture;
    const KeyLayout us = named("us");
    const KeyLayout german = named("de");
    test::FakeReaderLink link = keyboardReader(us);
    link.modeSilentReads = 3; // the reader is busy storing for three polls

    LayoutExchangeCount count;
    ASSERT_TRUE(ProgramLayout(link, kHandle, german, count));

    // The reader now types the German table.
    KeyLayout reader;
    ASSERT_TRUE(ReadDeviceLayout(link, kHandle, reader));
    EXPECT_EQ(CountLayoutDifferences(reader, german), 0);

    // Only changed characters were sent, ESC last; 'z' and 'y' swap places.
    const std::vector<std::string> writes = link.writes();
    EXPECT_NE(std::find(writes.begin(), writes.end(), "hidControlWrite 12 7A 00 1C"), writes.end());
    EXPECT_NE(std::find(writes.begin(), writes.end(), "hidControlWrite 12 40 40 14"),
              writes.end()); // '@' on AltGr+Q
    EXPECT_EQ(std::find(writes.begin(), writes.end(), "hidControlWrite 12 61 00 04"),
              writes.end()); // 'a' stays
    EXPECT_EQ(writes.back(), "hidControlWrite 12 1B 00 29");
    EXPECT_EQ(count.modePolls, 4);
    EXPECT_EQ(count.layoutReads, 2);
    EXPECT_EQ(count.setKeys, int(writes.size()));

    const std::string traced = capture.all();
    EXPECT_NE(traced.find("z => 001C\n"), std::string::npos);
    EXPECT_NE(traced.find("@ => 4014\n"), std::string::npos);
    EXPECT_NE(traced.find("Tastenbelegung gelesen\n"), std::string::npos);
    EXPECT_NE(traced.find("] Tastenbelegung speichern 0:"), std::string::npos);
}

TEST(ProgramLayout, EndsAndFails) {
    const KeyLayout us = named("us");
    const KeyLayout german = named("de");
    struct Case {
        const char* what;
        KeyLayout desired;
        int refusals;
        bool keepsTable;
        bool hid;
        bool goneAfterEscape;
        bool result;
        int setKeys;
        int layoutReads;
        bool traceRead;
    };
    const Case cases[] = {
        // Equal tables: only ESC, no waiting, no read-back.
        {"equal", us, 0, false, true, false, true, 1, 1, false},
        // The first set-key refused five times.
        {"refused", german, 5, false, true, false, false, 5, 1, false},
        // ESC refused five times.
        {"escape refused", us, 5, false, true, false, false, 5, 1, false},
        // Takes every key but keeps its table: five read-backs, then failure.
        {"never matches", german, 0, true, true, false, false, -1, 6, true},
        // Gone after programming: the first silent read-back ends the run.
        {"gone", german, 0, false, true, true, false, -1, 2, true},
        // No keyboard reader behind the handle.
        {"no reader", german, 0, false, false, false, false, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TraceCapture capture;
        test::FakeReaderLink link = keyboardReader(us);
        link.hidConnection = c.hid;
        link.hidRefusals = c.refusals;
        link.hidKeepsTable = c.keepsTable;
        link.hidGoneAfterEscape = c.goneAfterEscape;
        LayoutExchangeCount count;
        EXPECT_EQ(ProgramLayout(link, kHandle, c.desired, count), c.result);
        if (c.setKeys >= 0) {
            EXPECT_EQ(count.setKeys, c.setKeys);
        }
        EXPECT_EQ(count.layoutReads, c.layoutReads);
        EXPECT_EQ(count.modePolls, c.traceRead ? 1 : 0);
        const std::string traced = capture.all();
        EXPECT_EQ(traced.find("Tastenbelegung gelesen\n") != std::string::npos, c.traceRead);
        EXPECT_NE(traced.find("] Tastenbelegung speichern "), std::string::npos);
    }
}

} // namespace
} // namespace veltra

// A real keyboard reader (the simulator through the stand-in hidapi) reads back its US table,
// and one unplugged before the read fails at once instead of asking 95 characters five times.
TEST(DeviceLayout, SimulatedReaderIsReadAndAnUnpluggedOneFailsAtOnce) {
    veltra::test::SimProcess sim({"--hid", "--serial", "1650-000042"});
    ::setenv("QN_SIM_HID_SOCKETS", sim.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    veltra::ReaderLink& link = veltra::qnLink();
    const int handle = link.openPort("1650-000042 HID", 19200, 0, 500);
    ASSERT_GT(handle, 0);
    veltra::KeyLayout layout;
    ASSERT_TRUE(veltra::ReadDeviceLayout(link, handle, layout));
    EXPECT_EQ(layout.entries[16][veltra::KeyLayout::Normal], 'q');
    EXPECT_EQ(layout.entries[3][veltra::KeyLayout::Shift], '@');

    sim.stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(veltra::ReadDeviceLayout(link, handle, layout));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(layout, veltra::KeyLayout{});
    link.closePort(handle);
}
