// The library against the reader simulator on a pseudo-terminal.
#include "qnlink.h"

#include "tests/devicelink/HandleGuard.h"
#include "tests/support/BoundedCall.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using veltra::test::boundedCall;
using veltra::test::Handle;
using veltra::test::SimProcess;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LinkTest, OpensIdentifiesAndReportsTheReader) {
    SimProcess sim({"--type", "244", "--version", "K"});
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    EXPECT_LT(h, 10001);

    std::array<unsigned char, 8> reply{};
    std::array<char, 32> model{};
    ASSERT_EQ(QnReadDeviceType(h, reply.data(), 8, model.data(), 32), 4);
    EXPECT_EQ(std::string(reply.begin(), reply.begin() + 4), "244K");
    EXPECT_EQ(std::string(model.data()), "QN-V244");
    EXPECT_EQ(QnSupportsReaderMode(h), 1);
    EXPECT_EQ(QnIsLanConnection(h), 0);
    EXPECT_EQ(QnIsHidConnection(h), 0);

    std::array<char, 64> name{};
    EXPECT_EQ(QnGetPortName(h, name.data(), 64), static_cast<int>(sim.port().size()));
    EXPECT_EQ(std::string(name.data()), sim.port());
    EXPECT_EQ(QnGetPortName(h, name.data(), static_cast<int>(sim.port().size())), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);

    EXPECT_EQ(QnClosePort(h), 0);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_UNKNOWN_HANDLE);
    EXPECT_EQ(QnClosePort(h), -1);
    h.value = 0;
}

TEST(LinkTest, StableSerialNamesOpenLikeKernelNames) {
    // Links named like udev's by-id and by-path entries, in a folder of the test's own under
    // /dev/shm, point at the simulator's terminal.
    struct Folder {
        std::string path = "/dev/shm/qn-test-XXXXXX";
        Folder() {
            if (::mkdtemp(path.data()) == nullptr) {
                path.clear();
                return;
            }
            for (const char* sub : {"/serial", "/serial/by-id", "/serial/by-path"}) {
                ::mkdir((path + sub).c_str(), 0700);
            }
        }
        ~Folder() {
            for (const char* sub : {"/serial/by-path", "/serial/by-id", "/serial", ""}) {
                ::rmdir((path + sub).c_str());
            }
        }
    } folder;
    ASSERT_FALSE(folder.path.empty());
    struct Case {
        std::string link;
        std::string suffix; // bus address
    };
    const Case cases[] = {
        {"/serial/by-path/pci-0000:00:14.0-usb-0:1.2.3:1.0-port0", ""},
        {"/serial/by-id/usb-Maker_HID_Reader-if00", ":1"},
    };
    for (const Case& c : cases) {
        const std::string link = folder.path + c.link;
        SimProcess sim({"--link", link});
        Handle h(QnOpenPort((link + c.suffix).c_str(), 19200, 0, 300));
        ASSERT_GT(h, 0) << link;
        EXPECT_LT(h, QN_HANDLE_HID_BASE) << link;
        EXPECT_EQ(QnIsHidConnection(h), 0) << link;
        EXPECT_EQ(QnReadMode(h), 1) << link;
        std::array<char, 128> name{};
        EXPECT_EQ(QnGetPortName(h, name.data(), 128), static_cast<int>(link.size())) << link;
        EXPECT_EQ(std::string(name.data()), link);
        EXPECT_EQ(QnClosePort(h), 0) << link;
        h.value = 0;
    }
}

TEST(LinkTest, ModesAreSetStoredAndRead) {
    SimProcess sim;
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    EXPECT_EQ(QnSetMode(h, 0), 0);
    EXPECT_EQ(QnSetModeStored(h, 3), 0);
    EXPECT_EQ(QnReadMode(h), 3);
    EXPECT_EQ(sim.value("stored_mode"), "3");
    EXPECT_EQ(QnSetModeStored(h, 1), 0);
    EXPECT_EQ(QnReadMode(h), 1);

    // Values outside the allowed sets are refused before anything is sent.
    for (int bad : {4, -1, 127, 130, 256}) {
        EXPECT_EQ(QnSetMode(h, bad), -1) << bad;
        EXPECT_EQ(QnGetLastError(h), QN_ERR_MODE) << bad;
    }
    for (int bad : {2, 128, 129}) {
        EXPECT_EQ(QnSetModeStored(h, bad), -1) << bad;
        EXPECT_EQ(QnGetLastError(h), QN_ERR_MODE) << bad;
    }
    EXPECT_EQ(sim.value("stored_mode"), "1");
}

TEST(LinkTest, BlocksTwoToSixRoundTrip) {
    SimProcess sim;
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    for (int block = 2; block <= 6; ++block) {
        // Block 6 holds the four operating parameters; the others are key sequences.
        Bytes data(block == 6 ? 4 : static_cast<std::size_t>(10 + block));
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(block * 16 + i);
        }
        using Write = int (*)(int, const unsigned char*, int);
        using Read = int (*)(int, unsigned char*, int);
        constexpr Write writes[] = {QnWriteParameterBlock2, QnWriteParameterBlock3,
                                    QnWriteParameterBlock4, QnWriteParameterBlock5,
                                    QnWriteParameterBlock6};
        constexpr Read reads[] = {QnReadParameterBlock2, QnReadParameterBlock3,
                                  QnReadParameterBlock4, QnReadParameterBlock5,
                                  QnReadParameterBlock6};
        const auto i = static_cast<std::size_t>(block - 2);
        ASSERT_EQ(writes[i](h, data.data(), static_cast<int>(data.size())), 0) << block;
        EXPECT_EQ(sim.block(block), data) << block;
        std::array<unsigned char, 128> back{};
        ASSERT_EQ(reads[i](h, back.data(), 128), static_cast<int>(data.size())) << block;
        EXPECT_EQ(Bytes(back.begin(), back.begin() + static_cast<long>(data.size())), data);
        // A buffer one byte short gets nothing.
        std::array<unsigned char, 128> small{};
        EXPECT_EQ(reads[i](h, small.data(), static_cast<int>(data.size()) - 1), -1);
        EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
        EXPECT_EQ(small[0], 0);
    }
    // A reader refusal arrives as its status byte.
    Bytes five(5, 0x22);
    EXPECT_EQ(QnWriteParameterBlock6(h, five.data(), 5), -1);
    EXPECT_EQ(QnGetLastError(h), 2);
    Bytes tooLong(101, 0x11);
    EXPECT_EQ(QnWriteParameterBlock3(h, tooLong.data(), 101), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_LENGTH);
}

TEST(LinkTest, ReplyFaultsOfTheSimulator) {
    struct Case {
        std::vector<std::string> args;
        int error;
    };
    const Case cases[] = {
        {{"--fault", "garbage", "--fault-command", "F4"}, 0},
        {{"--fault", "garbage", "--fault-command", "F4", "--framing", "crc"}, QN_ERR_CHECKSUM},
        {{"--fault", "bad-check", "--fault-command", "F4"}, QN_ERR_CHECKSUM},
        {{"--fault", "bad-check", "--fault-command", "F4", "--framing", "crc"}, QN_ERR_CHECKSUM},
        {{"--fault", "header-only", "--fault-command", "F4"}, QN_ERR_TIMEOUT},
        {{"--fault", "silent", "--fault-command", "F4"}, QN_ERR_TIMEOUT},
        {{"--fault", "split", "--fault-command", "F4"}, 0},
        {{"--status", "5", "--fault-command", "F4"}, 5},
        {{"--status", "5", "--fault-command", "F4", "--framing", "crc"}, 5},
    };
    for (const auto& c : cases) {
        std::string label;
        for (const auto& a : c.args) {
            label += a + " ";
        }
        SimProcess sim(c.args);
        Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 250));
        ASSERT_GT(h, 0) << label;
        const auto start = std::chrono::steady_clock::now();
        const int mode = QnReadMode(h);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (c.error == 0) {
            EXPECT_EQ(mode, 1) << label;
        } else {
            EXPECT_EQ(mode, -1) << label;
            EXPECT_EQ(QnGetLastError(h), c.error) << label;
        }
        if (c.error == QN_ERR_TIMEOUT) {
            EXPECT_GE(elapsed, std::chrono::milliseconds(250)) << label;
            EXPECT_LT(elapsed, std::chrono::milliseconds(2000)) << label;
        }
        // The connection stays usable after a fault.
        std::array<unsigned char, 16> block{};
        EXPECT_EQ(QnReadParameterBlock6(h, block.data(), 16), 4) << label;
    }
}

TEST(LinkTest, OlderReadersExchangeBlock1InTheirLayout) {
    struct Case {
        const char* type;
        const char* version;
        std::size_t storedSize;
    };
    // 029 before version 7 has no extra byte, from version 7 on it has one.
    const Case cases[] = {{"029", "3", 11}, {"029", "7", 12}, {"041", "1", 12}};
    for (const auto& c : cases) {
        SimProcess sim({"--type", c.type, "--version", c.version});
        Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
        ASSERT_GT(h, 0) << c.type << c.version;
        std::array<unsigned char, 64> current{};
        ASSERT_EQ(QnReadParameterBlock1(h, current.data(), 64), 13) << c.type << c.version;
        // Fixed format from the reader's default block: transponder 0 means format 1.
        EXPECT_EQ(current[0], 0);
        EXPECT_EQ(current[1], 1);
        EXPECT_EQ(current[8], 10);
        EXPECT_EQ(current[9], 5);
        EXPECT_EQ(current[10], 1);

        const unsigned char edited[13] = {4, 3, 0x10, 0x20, 0x30, 0x40, 3, 7, 8, 6, 1, 0, 0};
        ASSERT_EQ(QnWriteParameterBlock1(h, edited, 13), 0) << c.type << c.version;
        Bytes expected{0x0A, 0x83, 3, 0x10, 0x20, 0x30, 0x40, 7, 8, 5, 5};
        if (c.storedSize == 12) {
            expected.push_back(0x61);
        }
        EXPECT_EQ(sim.block(1), expected) << c.type << c.version;
        ASSERT_EQ(QnReadParameterBlock1(h, current.data(), 64), 13);
        const Bytes back(current.begin(), current.begin() + 13);
        Bytes wanted(edited, edited + 13);
        if (c.storedSize == 11) {
            wanted[6] = 1; // without the extra byte only the high bit survives
            wanted[9] = 5;
        }
        EXPECT_EQ(back, wanted) << c.type << c.version;
        EXPECT_EQ(QnReadParameterBlock1(h, current.data(), 12), -1);
        EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
    }
}

TEST(LinkTest, NewerReadersExchangeBlock1Unchanged) {
    SimProcess sim({"--type", "244", "--version", "K"});
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    std::array<unsigned char, 64> block{};
    const int n = QnReadParameterBlock1(h, block.data(), 64);
    ASSERT_GT(n, 13);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + n), sim.block(1));
    block[1] ^= 0x01;
    ASSERT_EQ(QnWriteParameterBlock1(h, block.data(), n), 0);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + n), sim.block(1));
    // The transponder configuration goes with its index in the reader's own layout.
    const unsigned char cfg[3] = {0x01, 0x02, 0x03};
    ASSERT_EQ(QnWriteTransponderConfig(h, 1, cfg, 3), 0);
    EXPECT_EQ(sim.bytes("transponder_config"), (Bytes{0x01, 0x01, 0x02, 0x03}));
}

TEST(LinkTest, IdentificationTextsOfOddReaders) {
    struct Case {
        std::vector<std::string> args;
        std::string reply;
        std::string model;
        int readerMode;
    };
    const Case cases[] = {
        {{"--type", "2A3", "--version", "x"}, "2A3x", "QN-#2A3", 0},
        {{"--ident", "Z-Reader 7"}, "Z-Reader 7", "QN-V242", 1},
        {{"--ident", "24"}, "24", "---", 0},
        {{"--type", "064", "--version", "1"}, "0641", "QN-V064", 1},
    };
    for (const auto& c : cases) {
        SimProcess sim(c.args);
        Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
        ASSERT_GT(h, 0) << c.reply;
        std::array<unsigned char, 32> reply{};
        std::array<char, 32> model{};
        ASSERT_EQ(QnReadDeviceType(h, reply.data(), 32, model.data(), 32),
                  static_cast<int>(c.reply.size()));
        EXPECT_EQ(std::string(reply.begin(), reply.begin() + static_cast<long>(c.reply.size())),
                  c.reply);
        EXPECT_EQ(std::string(model.data()), c.model);
        EXPECT_EQ(QnSupportsReaderMode(h), c.readerMode) << c.reply;
        // A model name that does not fit is left alone, the reply is still delivered.
        std::array<char, 4> small{'#', '#', '#', '#'};
        EXPECT_EQ(QnReadDeviceType(h, reply.data(), 32, small.data(), 4),
                  static_cast<int>(c.reply.size()));
        EXPECT_EQ(small[0], c.model.size() < 4 ? c.model[0] : '#');
    }
}

TEST(LinkTest, BaudSwitchFollowedByTheReader) {
    SimProcess sim;
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 300));
    ASSERT_GT(h, 0);
    ASSERT_EQ(QnSetBaudRate(h, 57600, 1), 0);
    EXPECT_EQ(sim.value("baud"), "57600");
    EXPECT_EQ(sim.value("line"), "1");
    EXPECT_EQ(QnReadMode(h), 1);
    ASSERT_EQ(QnSetBaudRate(h, 19200, 0), 0);
    EXPECT_EQ(sim.value("baud"), "19200");
    EXPECT_EQ(QnReadMode(h), 1);
    QnClosePort(h);
    h.value = 0;

    // A reader at another rate and format answers only when opened with both.
    SimProcess fast({"--baud", "38400", "--line", "3"});
    EXPECT_EQ(QnOpenPort(fast.port().c_str(), 19200, 3, 100), QN_OPEN_NO_ANSWER);
    EXPECT_EQ(QnOpenPort(fast.port().c_str(), 38400, 0, 100), QN_OPEN_NO_ANSWER);
    Handle f(QnOpenPort(fast.port().c_str(), 38400, 3, 100));
    EXPECT_GT(f, 0);
}

TEST(LinkTest, BusAddressSelectsTheReader) {
    SimProcess sim({"--address", "5"});
    const std::string addressed = sim.port() + ":5";
    EXPECT_EQ(QnOpenPort(sim.port().c_str(), 19200, 0, 100), QN_OPEN_NO_ANSWER);
    Handle h(QnOpenPort(addressed.c_str(), 19200, 0, 300));
    ASSERT_GT(h, 0);
    EXPECT_EQ(QnSetModeStored(h, 0), 0);
    EXPECT_EQ(sim.value("stored_mode"), "0");
}

TEST(LinkTest, APortIsOpenedOnlyOnce) {
    SimProcess sim;
    Handle first(QnOpenPort(sim.port().c_str(), 19200, 0, 300));
    ASSERT_GT(first, 0);
    EXPECT_EQ(QnOpenPort(sim.port().c_str(), 19200, 0, 300), QN_OPEN_FAILED);
    ASSERT_EQ(QnClosePort(first), 0);
    first.value = 0;
    Handle again(QnOpenPort(sim.port().c_str(), 19200, 0, 300));
    EXPECT_GT(again, 0);
}

TEST(LinkTest, APortClosedToTheUserIsToldApartFromAMissingOne) {
    SimProcess sim;
    ASSERT_EQ(::chmod(sim.port().c_str(), 0600), 0);
    // The open runs as a user other than the port's owner: as root in a child that gives up
    // its rights, since root may open anything.
    const auto openAsOther = [](const std::string& port) {
        if (::geteuid() != 0) {
            return QnOpenPort(port.c_str(), 19200, 0, 300);
        }
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(100);
            }
            ::_exit(-QnOpenPort(port.c_str(), 19200, 0, 300));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? -WEXITSTATUS(status) : 0;
    };
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(sim.port().c_str(), 0), 0);
    }
    EXPECT_EQ(openAsOther(sim.port()), QN_OPEN_NO_PERMISSION);
    EXPECT_EQ(openAsOther("/dev/ttyNoSuchPort9"), QN_OPEN_FAILED);
}

TEST(LinkTest, AnUnpluggedReaderTimesOutAndStillCloses) {
    auto sim = std::make_unique<SimProcess>();
    Handle h(QnOpenPort(sim->port().c_str(), 19200, 0, 200));
    ASSERT_GT(h, 0);
    EXPECT_EQ(QnReadMode(h), 1);
    sim.reset(); // the reader goes away with its terminal
    EXPECT_EQ(QnReadMode(h), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
    EXPECT_EQ(QnSetMode(h, 2), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
    EXPECT_EQ(QnClosePort(h), 0);
    h.value = 0;
}

TEST(LinkTest, ConnectionsWorkFromSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < kThreads; ++i) {
        sims.push_back(std::make_unique<SimProcess>());
    }
    std::vector<std::thread> threads;
    std::array<int, kThreads> failures{};
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            const int h =
                QnOpenPort(sims[static_cast<std::size_t>(i)]->port().c_str(), 19200, 0, 500);
            if (h <= 0) {
                failures[static_cast<std::size_t>(i)] = 1000;
                return;
            }
            std::array<unsigned char, 16> block{};
            for (int round = 0; round < 50; ++round) {
                const unsigned char data[4] = {static_cast<unsigned char>(i), 10,
                                               static_cast<unsigned char>(round), 5};
                if (QnWriteParameterBlock6(h, data, 4) != 0 ||
                    QnReadParameterBlock6(h, block.data(), 16) != 4 || block[2] != round) {
                    ++failures[static_cast<std::size_t>(i)];
                }
            }
            QnClosePort(h);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, (std::array<int, kThreads>{}));
}

TEST(LinkTest, AStreamingLineCannotHoldAWait) {
    // A reader in reader mode sends "A" every 20 ms and answers neither the identification at
    // another bus address nor, in the second case, the mode request. Every wait phase ends at its
    // own deadline whatever arrives, so an exchange waits at most three reply timeouts.
    using std::chrono::milliseconds;
    constexpr int kTimeout = 300;
    constexpr milliseconds kExchangeBound{3 * kTimeout};
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exchanges; // the most exchanges the operation makes
    };
    const Case cases[] = {
        {"open, STX framing only", {"--address", "5"}, 2},
        {"mode read", {"--fault", "silent", "--fault-command", "F4"}, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--mode", "1", "--telegram", "A", "--interval", "20"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess sim(args);
        int result = 0;
        int error = 0;
        const milliseconds bound = 2 * c.exchanges * kExchangeBound;
        const milliseconds took = boundedCall(
            bound,
            [&] {
                const int h = QnOpenPort(sim.port().c_str(), 19200, QN_FLAG_STX_ONLY, kTimeout);
                if (c.exchanges == 1 && h > 0) {
                    result = QnReadMode(h);
                    error = QnGetLastError(h);
                    QnClosePort(h);
                } else {
                    result = h;
                }
            },
            [&] { sim.stop(); });
        EXPECT_LT(took, bound) << c.what;
        if (c.exchanges == 1) {
            EXPECT_EQ(result, -1) << c.what;
            EXPECT_EQ(error, QN_ERR_TIMEOUT) << c.what;
        } else {
            EXPECT_EQ(result, QN_OPEN_NO_ANSWER) << c.what;
        }
    }
}

TEST(LinkTest, LineFormatComesFromTheLowFlagBits) {
    struct Case {
        const char* line;
        int flags;
        bool answers;
    };
    // A pseudo-terminal keeps no parity-enable bit, so even parity looks like none to the
    // simulator; odd parity and two stop bits are told apart.
    const Case cases[] = {
        {"1", 1, true},  {"2", 2, true}, {"2", 0, false},
        {"0", 2, false}, {"3", 3, true}, {"3", 0, false},
        {"0", 3, false}, {"0", 7, true}, {"0", 0x0F | QN_FLAG_STX_ONLY, true},
    };
    for (const auto& c : cases) {
        SimProcess sim({"--line", c.line});
        const int h = QnOpenPort(sim.port().c_str(), 19200, c.flags, 100);
        if (c.answers) {
            EXPECT_GT(h, 0) << c.line << " " << c.flags;
            QnClosePort(h);
        } else {
            EXPECT_EQ(h, QN_OPEN_NO_ANSWER) << c.line << " " << c.flags;
            if (h > 0) {
                QnClosePort(h);
            }
        }
    }
}

TEST(LinkTest, ReaderModeTelegramsArriveInTheReceiveQueue) {
    SimProcess sim({"--interval", "0", "--telegram", "0415E3A2C7\\r\\n"});
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    ASSERT_EQ(QnSetMode(h, 1), 0);
    std::string received;
    std::array<unsigned char, 64> buffer{};
    // The prompt character asks the reader for one telegram.
    const unsigned char prompt = '?';
    for (int attempt = 0; attempt < 3 && received.size() < 24; ++attempt) {
        ASSERT_EQ(QnWriteRaw(h, &prompt, 1), 0);
        for (int i = 0; i < 100 && received.size() < 12u * static_cast<unsigned>(attempt + 1);
             ++i) {
            const int n = QnReadReceived(h, buffer.data(), 64);
            ASSERT_GE(n, 0);
            received.append(buffer.begin(), buffer.begin() + n);
            if (n == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
    EXPECT_EQ(received.substr(0, 24), "0415E3A2C7\r\n0415E3A2C7\r\n");
    // Framed requests still work in reader mode, and take the queue over.
    EXPECT_EQ(QnSetMode(h, 0), 0);
}

} // namespace
