#include "keys/TraceLog.h"
#include "keys/ScopeTimer.h"

#include "tests/support/TraceCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

namespace veltra {
namespace {

TEST(TraceWrite, WithoutViewerNothingIsSentOrCreated) {
    test::TraceFolder folder;
    EXPECT_EQ(TraceWrite("abcde"), 0);
    TracePrintf("%d", 5);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path));

    // A socket nobody listens on any more (a viewer that was killed) is no viewer either.
    {
        trace::TraceSocket left;
        std::string error;
        ASSERT_TRUE(left.open(traceSocketPath(), error));
    }
    EXPECT_EQ(TraceWrite("abcde"), 0);
    EXPECT_FALSE(std::filesystem::exists(traceLockPath()));
}

TEST(TraceWrite, PiecesOfFourBytesLowestFirst) {
    test::TraceCapture capture;
    struct Case {
        const char* text;
        std::vector<std::uint32_t> pieces;
    };
    const Case cases[] = {
        {"abcde", {0x64636261, 0x00000065}},
        {"abcd", {0x64636261}}, // no zero byte after a multiple of four
        {"", {}},
        {"\xFF\x80", {0x000080FF}},
    };
    for (const Case& c : cases) {
        const std::size_t before = capture.pieces().size();
        EXPECT_EQ(TraceWrite(c.text), 1);
        const std::vector<std::uint32_t> all = capture.pieces();
        EXPECT_EQ(std::vector<std::uint32_t>(all.begin() + long(before), all.end()), c.pieces)
            << c.text;
    }
    // The lock file is there once a viewer was found.
    EXPECT_TRUE(std::filesystem::exists(traceLockPath()));

    // Datagrams carry the message id first; anything else is no piece.
    unsigned char datagram[kTraceDatagramSize];
    encodeTraceDatagram(0x64636261, datagram);
    const unsigned char expected[] = {0xEF, 0x3C, 0xC6, 0x2D, 'a', 'b', 'c', 'd'};
    EXPECT_EQ(std::vector<unsigned char>(datagram, datagram + 8),
              std::vector<unsigned char>(expected, expected + 8));
    EXPECT_EQ(kTraceMessageId, fnv1a32("ZemTracerMSG"));
    std::uint32_t piece = 0;
    EXPECT_TRUE(decodeTraceDatagram(datagram, 8, piece));
    EXPECT_EQ(piece, 0x64636261u);
    EXPECT_FALSE(decodeTraceDatagram(datagram, 7, piece));
    datagram[0] ^= 1;
    EXPECT_FALSE(decodeTraceDatagram(datagram, 8, piece));
}

TEST(TracePrintf, FormatsAndEndsAtAZeroCharacter) {
    test::TraceCapture capture;
    TracePrintf("%c => %04X\n", 'q', 0x4014u);
    TracePrintf("A%03d(%c%c)", 12, 'x', 0); // the text ends at the zero character
    std::string tooLong(600, 'x');
    TracePrintf("%s", tooLong.c_str());
    const std::vector<std::string> texts = capture.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "q => 4014\n");
    EXPECT_EQ(texts[1], "A012(x");
    EXPECT_EQ(texts[2], std::string(511, 'x'));
}

TEST(TraceWrite, TextsOfManyThreadsDoNotInterleave) {
    test::TraceCapture capture;
    std::vector<std::thread> threads;
    for (char name = 'a'; name < 'a' + 4; ++name) {
        threads.emplace_back([name] {
            const std::string text = std::string(21, name) + "\n"; // six pieces each
            for (int i = 0; i < 50; ++i) {
                TraceWrite(text.c_str());
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const std::vector<std::string> texts = capture.texts();
    ASSERT_EQ(texts.size(), 200u);
    for (const std::string& text : texts) {
        EXPECT_EQ(text, std::string(21, text[0]) + "\n");
    }
}

TEST(ScopeTimer, TracesTheDurationOnEveryWayOut) {
    EXPECT_EQ(formatScopeTime("Tastenbelegung speichern", 123456789ull, 65432123ull),
              "[00123456] Tastenbelegung speichern 1:05.432.123 min\n");
    EXPECT_EQ(formatScopeTime("x", 5000000000000ull, 0),
              "[705032704] x 0:00.000.000 min\n"); // the clock in ms as a 32-bit number

    test::TraceCapture capture;
    try {
        const ScopeTimer timer("Abbruch");
        throw std::runtime_error("leaves");
    } catch (const std::runtime_error&) {
    }
    { const ScopeTimer quick("Kurz", 60 * 1000 * 1000); } // under the threshold: nothing
    const std::vector<std::string> texts = capture.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("] Abbruch 0:00."), std::string::npos) << texts[0];
}

} // namespace
} // namespace veltra
