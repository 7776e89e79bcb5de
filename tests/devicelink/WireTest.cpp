// Exact bytes on the wire, with a pseudo-terminal of the test's own playing the reader.
#include "qnlink.h"

#include "tests/devicelink/HandleGuard.h"
#include "tests/devicelink/PtyReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

using veltra::test::PtyReader;
using Bytes = PtyReader::Bytes;

using veltra::test::Handle;

namespace {

const Bytes kIdentifyStx{0x02, 0x01, 0xF0, 0x00, 0xF1};
const Bytes kIdentifyCrc{0x01, 0xF0, 0x00, 0x64, 0x00};

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A reader of the given identification that answers STX frames and acknowledges the rest.
PtyReader::Answer stxReader(const std::string& ident) {
    return [ident](const Bytes& f) -> std::optional<Bytes> {
        if (f[0] != 0x02) {
            return std::nullopt;
        }
        if (f[2] == 0xF0) {
            return PtyReader::stxReply(0, text(ident));
        }
        return PtyReader::stxReply(0, {});
    };
}

TEST(WireTest, IdentificationIsSentInStxFramingFirst) {
    PtyReader reader(stxReader("244K"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 1000));
    ASSERT_GT(h, 0);
    ASSERT_EQ(reader.frames().size(), 1u);
    EXPECT_EQ(reader.frames()[0], kIdentifyStx);
}

TEST(WireTest, CrcOnlyReaderIsFoundOnTheThirdAttempt) {
    auto crcOnly = [](const Bytes& f) -> std::optional<Bytes> {
        if (f[0] == 0x02) {
            return std::nullopt;
        }
        return PtyReader::crcReply(0, f[1] == 0xF0 ? text("0297") : Bytes{0x81});
    };
    {
        PtyReader reader(crcOnly);
        const auto start = std::chrono::steady_clock::now();
        Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 2000));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_GT(h, 0);
        const auto frames = reader.frames();
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0], kIdentifyStx);
        EXPECT_EQ(frames[1], kIdentifyStx);
        EXPECT_EQ(frames[2], kIdentifyCrc);
        // Each unanswered attempt waits 300 ms however long the reply timeout is.
        EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
        // The framing found stays with the connection.
        reader.clear();
        EXPECT_EQ(QnReadMode(h), 1);
        ASSERT_EQ(reader.frames().size(), 1u);
        EXPECT_EQ(reader.frames()[0], (Bytes{0x01, 0xF4, 0x00, 0x66, 0xC0}));
    }
    {
        PtyReader reader(crcOnly);
        EXPECT_EQ(QnOpenPort(reader.path().c_str(), 19200, QN_FLAG_STX_ONLY, 500),
                  QN_OPEN_NO_ANSWER);
        EXPECT_EQ(reader.frames().size(), 2u);
        // Nothing is left behind: the port opens again.
        Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 500));
        EXPECT_GT(h, 0);
    }
}

TEST(WireTest, OpenFailures) {
    PtyReader silent;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QnOpenPort(silent.path().c_str(), 19200, 0, 100), QN_OPEN_NO_ANSWER);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(silent.frames().size(), 3u);

    EXPECT_EQ(QnOpenPort(silent.path().c_str(), 19200, 0, -1), QN_OPEN_BAD_TIMEOUT);
    // A rate the port cannot run at is not opened at some other rate.
    EXPECT_EQ(QnOpenPort(silent.path().c_str(), 0, 0, 100), QN_OPEN_FAILED);
    EXPECT_EQ(QnOpenPort(silent.path().c_str(), -9600, 0, 100), QN_OPEN_FAILED);
    const std::string withColon = silent.path() + ":";
    for (const char* name : {withColon.c_str(), "/dev/qn-no-such-port", "COM200", "FT123456",
                             "1319-0001 HID", "127.0.0.1-1", "[reader]"}) {
        EXPECT_EQ(QnOpenPort(name, 19200, 0, 100), QN_OPEN_FAILED) << name;
    }
    EXPECT_EQ(QnOpenPort(nullptr, 19200, 0, 100), QN_OPEN_FAILED);
    EXPECT_EQ(silent.frames().size(), 3u);
}

TEST(WireTest, BusAddressGoesIntoEveryFrame) {
    PtyReader reader(stxReader("244K"));
    const std::string name = reader.path() + ":5";
    Handle h(QnOpenPort(name.c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    std::array<char, 64> buffer{};
    EXPECT_EQ(QnGetPortName(h, buffer.data(), 64), static_cast<int>(reader.path().size()));
    EXPECT_EQ(std::string(buffer.data()), reader.path());
    EXPECT_EQ(QnSetMode(h, 1), 0);
    const auto frames = reader.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Bytes{0x02, 0x05, 0xF0, 0x00, 0xF5}));
    EXPECT_EQ(frames[1], (Bytes{0x02, 0x05, 0xF4, 0x01, 0x01, 0xF1}));
}

TEST(WireTest, RequestsOfEachOperation) {
    // A reader with the older block-1 layout and the extra byte.
    PtyReader reader(stxReader("0297"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    reader.clear();
    const unsigned char pw[4] = {0x11, 0x22, 0x33, 0x44};
    const unsigned char cfg[3] = {0x37, 0x01, 0x02};
    const unsigned char block1[12] = {5, 3, 1, 2, 3, 4, 3, 5, 6, 9, 1, 0};
    const unsigned char data[2] = {0xAB, 0xCD};
    struct Case {
        const char* name;
        std::function<int()> call;
        Bytes frame; // without STX, address and BCC
    };
    const Case cases[] = {
        {"mode 131", [&] { return QnSetMode(h, 131); }, {0xF4, 0x01, 0x83}},
        {"stored 3", [&] { return QnSetModeStored(h, 3); }, {0xF4, 0x01, 0x83}},
        {"usb interface", [&] { return QnSetUsbInterface(h, 2); }, {0xFF, 0x01, 0x02}},
        {"reset", [&] { return QnResetReader(h, 0, 0x7F); }, {0xF6, 0x02, 0x00, 0x7F}},
        {"password",
         [&] { return QnWriteTransponderPassword(h, pw, 4); },
         {0x80, 0x04, 0x11, 0x22, 0x33, 0x44}},
        {"password ex",
         [&] { return QnWriteTransponderPasswordEx(h, 48, pw, 4); },
         {0x88, 0x05, 48, 0x11, 0x22, 0x33, 0x44}},
        {"config, older reader",
         [&] { return QnWriteTransponderConfig(h, 2, cfg, 3); },
         {0xF1, 0x01, 0x47}},
        {"block 1 old layout",
         [&] { return QnWriteParameterBlock1(h, block1, 12); },
         {0x81, 0x0C, 0x0A, 0x81, 3, 1, 2, 3, 4, 5, 6, 5, 5, 0x91}},
        {"block 4", [&] { return QnWriteParameterBlock4(h, data, 2); }, {0x84, 0x02, 0xAB, 0xCD}},
        {"transact FE",
         [&] { return QnTransact(h, 0xFE, data, 1, nullptr, 0); },
         {0xFE, 0x01, 0xAB}},
    };
    for (const auto& c : cases) {
        reader.clear();
        EXPECT_EQ(c.call(), 0) << c.name;
        ASSERT_EQ(reader.frames().size(), 1u) << c.name;
        const Bytes f = reader.frames()[0];
        EXPECT_EQ(Bytes(f.begin() + 2, f.end() - 1), c.frame) << c.name;
    }
}

TEST(WireTest, RefusedArgumentsSendNothing) {
    PtyReader reader(stxReader("0293"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    reader.clear();
    const unsigned char bytes[300] = {};
    std::array<unsigned char, 3> small{};
    struct Case {
        const char* name;
        std::function<int()> call;
        int error;
    };
    const Case cases[] = {
        {"mode 4", [&] { return QnSetMode(h, 4); }, QN_ERR_MODE},
        {"stored mode 2", [&] { return QnSetModeStored(h, 2); }, QN_ERR_MODE},
        {"password of 3", [&] { return QnWriteTransponderPassword(h, bytes, 3); }, QN_ERR_LENGTH},
        {"password ex of 5", [&] { return QnWriteTransponderPasswordEx(h, 1, bytes, 5); },
         QN_ERR_LENGTH},
        {"config without data", [&] { return QnWriteTransponderConfig(h, 0, bytes, 0); },
         QN_ERR_LENGTH},
        {"block 1 of 11", [&] { return QnWriteParameterBlock1(h, bytes, 11); }, QN_ERR_LENGTH},
        {"block 2 of 101", [&] { return QnWriteParameterBlock2(h, bytes, 101); }, QN_ERR_LENGTH},
        {"block 6 of 101", [&] { return QnWriteParameterBlock6(h, bytes, 101); }, QN_ERR_LENGTH},
        {"transact of 256", [&] { return QnTransact(h, 0x42, bytes, 256, nullptr, 0); },
         QN_ERR_LENGTH},
        {"transact negative", [&] { return QnTransact(h, 0x42, bytes, -1, nullptr, 0); },
         QN_ERR_LENGTH},
        {"transact no command", [&] { return QnTransact(h, -1, nullptr, 0, nullptr, 0); },
         QN_ERR_EMPTY_REQUEST},
        {"baud parity 4", [&] { return QnSetBaudRate(h, 9600, 4); }, QN_ERR_LENGTH},
        {"baud 0", [&] { return QnSetBaudRate(h, 0, 0); }, QN_ERR_LENGTH},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), -1) << c.name;
        EXPECT_EQ(QnGetLastError(h), c.error) << c.name;
    }
    // The identification into a 3-byte buffer: the exchange happens, nothing is copied.
    small.fill(0xEE);
    std::array<char, 16> model{};
    model.fill('#');
    EXPECT_EQ(QnReadDeviceType(h, small.data(), 3, model.data(), 16), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
    EXPECT_EQ(small, (std::array<unsigned char, 3>{0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(model[0], '#');
    ASSERT_EQ(reader.frames().size(), 1u);
    EXPECT_EQ(reader.frames()[0], kIdentifyStx);
}

TEST(WireTest, ReplyFaults) {
    // Answers per command: F4 see below, FE header only, 89 a short old block 1, 8A garbage in
    // front, FD a wrong BCC, 8B one byte, anything else nothing.
    auto faulty = [](const Bytes& f) -> std::optional<Bytes> {
        switch (f[2]) {
        case 0xF0:
            return PtyReader::stxReply(0, text("0293"));
        case 0xF4: // a read gets a byte without its valid bit, a set the status 5
            return f[3] == 0 ? PtyReader::stxReply(0, {0x05}) : PtyReader::stxReply(5, {});
        case 0xFE:
            return Bytes{0x02, 0x01, 0x00, 0x04};
        case 0x89:
            return PtyReader::stxReply(0, Bytes(10, 0x01));
        case 0x8A: {
            Bytes r{0x5A, 0xA5, 0x00};
            const Bytes ok = PtyReader::stxReply(0, {0x0D, 0x0A});
            r.insert(r.end(), ok.begin(), ok.end());
            return r;
        }
        case 0xFD: {
            Bytes r = PtyReader::stxReply(0, {1});
            r.back() ^= 0x40;
            return r;
        }
        case 0x8B:
            return PtyReader::stxReply(0, {0x05});
        default:
            return std::nullopt;
        }
    };
    PtyReader reader(faulty);
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 200));
    ASSERT_GT(h, 0);
    std::array<unsigned char, 32> buffer{};

    EXPECT_EQ(QnSetMode(h, 0), -1);
    EXPECT_EQ(QnGetLastError(h), 5);
    EXPECT_EQ(QnReadMode(h), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_NO_REPLY);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QnTransact(h, 0xFE, nullptr, 0, buffer.data(), 32), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

    EXPECT_EQ(QnReadParameterBlock1(h, buffer.data(), 32), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_BLOCK1_SHORT);

    EXPECT_EQ(QnReadParameterBlock2(h, buffer.data(), 32), 2);
    EXPECT_EQ(buffer[0], 0x0D);
    EXPECT_EQ(buffer[1], 0x0A);

    EXPECT_EQ(QnTransact(h, 0xFD, nullptr, 0, nullptr, 0), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_CHECKSUM);

    EXPECT_EQ(QnTransact(h, 0x42, nullptr, 0, nullptr, 0), -1); // silent
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);

    // A transact reply that does not fit is not copied.
    buffer.fill(0);
    EXPECT_EQ(QnReadParameterBlock3(h, buffer.data(), 1), 1);
    EXPECT_EQ(QnTransact(h, 0x8A, nullptr, 0, buffer.data(), 1), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
    EXPECT_EQ(QnTransact(h, 0x8A, nullptr, 0, nullptr, 0), 2);
}

TEST(WireTest, BaudSwitchSendsItsCodeAndFollows) {
    PtyReader reader(stxReader("244K"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    struct Case {
        int baud;
        int parity;
        std::uint8_t code;
    };
    const Case cases[] = {{19200, 0, 0x03},   {2400, 0, 0x00},   {9600, 1, 0x12},
                          {38400, 2, 0x24},   {115200, 3, 0x36}, {921600, 0, 0x09},
                          {1382400, 0, 0x0A}, {14400, 0, 0x03}};
    for (const auto& c : cases) {
        reader.clear();
        ASSERT_EQ(QnSetBaudRate(h, c.baud, c.parity), 0) << c.baud;
        ASSERT_EQ(reader.frames().size(), 1u);
        const Bytes f = reader.frames()[0];
        EXPECT_EQ(Bytes(f.begin() + 2, f.end() - 1), (Bytes{0xF2, 0x01, c.code})) << c.baud;
    }
}

TEST(WireTest, RawBytesAndTheReceiveQueue) {
    PtyReader reader(stxReader("244K"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    reader.clear();
    const unsigned char raw[3] = {0x11, 0x07, 0x13};
    EXPECT_EQ(QnWriteRaw(h, raw, 3), 0);
    for (int i = 0; i < 200 && reader.received().size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(reader.received(), (Bytes{0x11, 0x07, 0x13}));

    reader.send(text("0415E3A2C7\r\n"));
    std::string got;
    std::array<unsigned char, 5> buffer{};
    for (int i = 0; i < 200 && got.size() < 12; ++i) {
        const int n = QnReadReceived(h, buffer.data(), 5);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 5);
        got.append(buffer.begin(), buffer.begin() + n);
        if (n == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(got, "0415E3A2C7\r\n");
    EXPECT_EQ(QnReadReceived(h, buffer.data(), 5), 0);
}

TEST(WireTest, AFrameThatDoesNotFitTheWriteBufferIsDropped) {
    PtyReader reader(stxReader("244K"));
    Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 300));
    ASSERT_GT(h, 0);
    reader.clear();
    // The reader stops reading: the terminal fills up and the write buffer with it.
    reader.pause(true);
    const std::vector<unsigned char> chunk(256, 0x55);
    int accepted = 0;
    int refusedInARow = 0;
    // The terminal frees room in steps for a while after it first refuses bytes; only a
    // refusal that lasts means it is full.
    while (refusedInARow < 30 && accepted < 40000) {
        if (QnWriteRaw(h, chunk.data(), 256) == 0) {
            ++accepted;
            refusedInARow = 0;
        } else {
            EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
            ++refusedInARow;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ASSERT_LT(accepted, 40000);
    const unsigned char one = 0x55;
    std::size_t ones = 0;
    for (refusedInARow = 0; refusedInARow < 10;) {
        if (QnWriteRaw(h, &one, 1) == 0) {
            ++ones;
            refusedInARow = 0;
        } else {
            ++refusedInARow;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Now 512 bytes are pending: the request cannot go out and the exchange times out.
    EXPECT_EQ(QnReadMode(h), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
    // Once the reader reads again, everything pending goes out, but not the dropped frame.
    reader.pause(false);
    const std::size_t expected = static_cast<std::size_t>(accepted) * 256 + ones;
    for (int i = 0; i < 400 && reader.received().size() < expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Bytes all = reader.received();
    EXPECT_EQ(all.size(), expected);
    EXPECT_EQ(std::count(all.begin(), all.end(), 0x55), static_cast<long>(all.size()));
    reader.clear();
    EXPECT_EQ(QnSetMode(h, 0), 0);
    ASSERT_EQ(reader.frames().size(), 1u);
    EXPECT_EQ(reader.frames()[0], (Bytes{0x02, 0x01, 0xF4, 0x01, 0x00, 0xF4}));
}

TEST(WireTest, WaitCallbackSeesEachWait) {
    struct Counts {
        int begin = 0, progress = 0, end = 0;
    } counts;
    QnSetWaitCallback(
        [](int phase, void* context) {
            auto* c = static_cast<Counts*>(context);
            (phase == QN_WAIT_BEGIN ? c->begin : phase == QN_WAIT_END ? c->end : c->progress)++;
        },
        &counts);
    {
        PtyReader reader(stxReader("244K"));
        Handle h(QnOpenPort(reader.path().c_str(), 19200, 0, 200));
        ASSERT_GT(h, 0);
        EXPECT_EQ(counts.begin, 1);
        EXPECT_EQ(counts.end, 1);
        // Every exchange is one wait with its begin and end.
        EXPECT_EQ(QnTransact(h, 0x42, nullptr, 0, nullptr, 0), 0);
        EXPECT_EQ(counts.begin, 2);
        EXPECT_EQ(counts.end, 2);
        counts = {};
    }
    {
        // Three unanswered attempts of 100 ms each report progress about every 10 ms and
        // still end their waits.
        PtyReader silent;
        EXPECT_EQ(QnOpenPort(silent.path().c_str(), 19200, 0, 100), QN_OPEN_NO_ANSWER);
        EXPECT_EQ(counts.begin, 3);
        EXPECT_EQ(counts.end, 3);
        EXPECT_GE(counts.progress, 5);
        EXPECT_LE(counts.progress, 60);
        counts = {};
        EXPECT_EQ(QnOpenPort(silent.path().c_str(), 19200, QN_FLAG_KEEP_ENABLED, 50),
                  QN_OPEN_NO_ANSWER);
        EXPECT_EQ(counts.begin + counts.progress + counts.end, 0);
    }
    QnSetWaitCallback(nullptr, nullptr);
}

TEST(WireTest, HandlesAreReusedLowestFirst) {
    PtyReader a(stxReader("244K")), b(stxReader("244K")), c(stxReader("244K"));
    const int h1 = QnOpenPort(a.path().c_str(), 19200, 0, 300);
    const int h2 = QnOpenPort(b.path().c_str(), 19200, 0, 300);
    ASSERT_GT(h1, 0);
    ASSERT_GT(h2, h1);
    // The same port cannot be opened twice.
    EXPECT_EQ(QnOpenPort(a.path().c_str(), 19200, 0, 300), QN_OPEN_FAILED);
    EXPECT_EQ(QnClosePort(h1), 0);
    const int h3 = QnOpenPort(c.path().c_str(), 19200, 0, 300);
    EXPECT_EQ(h3, h1);
    const int h4 = QnOpenPort(a.path().c_str(), 19200, 0, 300);
    EXPECT_GT(h4, h2);
    for (int h : {h2, h3, h4}) {
        EXPECT_EQ(QnClosePort(h), 0);
    }
}

TEST(WireTest, UnknownHandlesTouchNothing) {
    std::array<unsigned char, 8> buffer{};
    std::array<char, 8> name{};
    name.fill('#');
    for (int h : {0, -1, 1, 42, 10001, 20001}) {
        EXPECT_EQ(QnGetLastError(h), QN_ERR_UNKNOWN_HANDLE) << h;
        EXPECT_EQ(QnClosePort(h), -1) << h;
        EXPECT_EQ(QnReadMode(h), -1) << h;
        EXPECT_EQ(QnSetMode(h, 0), -1) << h;
        EXPECT_EQ(QnSupportsReaderMode(h), -1) << h;
        EXPECT_EQ(QnIsLanConnection(h), -1) << h;
        EXPECT_EQ(QnIsHidConnection(h), -1) << h;
        EXPECT_EQ(QnReadParameterBlock2(h, buffer.data(), 8), -1) << h;
        EXPECT_EQ(QnReadReceived(h, buffer.data(), 8), -1) << h;
        EXPECT_EQ(QnGetPortName(h, name.data(), 8), -1) << h;
        EXPECT_EQ(name[0], '#');
    }
}

TEST(WireTest, EmptyListsAreASingleNul) {
    // No USB or network reader is attached where the tests run.
    std::array<char, 8> buffer;
    using List = int (*)(char*, int);
    for (List list : {List{QnListUsbDevices}, List{QnSearchLanReaders}, List{QnSearchLanDevices}}) {
        buffer.fill('#');
        EXPECT_EQ(list(buffer.data(), 8), 1);
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(buffer[1], '#');
    }
    EXPECT_EQ(QnGetLibraryVersion(), 441);
}

} // namespace
