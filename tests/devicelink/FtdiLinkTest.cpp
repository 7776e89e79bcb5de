// FTDI readers through the stand-in D2XX library, which drives the simulators' pseudo-terminals:
// listing, open by serial number, exchanges, the refused baud switch, unplugging, and libraries
// that are missing or lack an entry point.
#include "qnlink.h"

#include "tests/devicelink/HandleGuard.h"
#include "tests/support/FtdiStandIn.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using veltra::test::FtdiStandIn;
using veltra::test::Handle;
using veltra::test::SimProcess;

namespace {

std::vector<std::string> usbDevices() {
    std::array<char, 2500> buffer{};
    const int used = QnListUsbDevices(buffer.data(), static_cast<int>(buffer.size()));
    std::vector<std::string> names;
    for (int at = 0; at < used - 1;) {
        names.emplace_back(buffer.data() + at);
        at += static_cast<int>(names.back().size()) + 1;
    }
    return names;
}

std::string deviceType(int handle) {
    std::array<unsigned char, 8> reply{};
    std::array<char, 32> model{};
    const int n = QnReadDeviceType(handle, reply.data(), 8, model.data(), 32);
    return n > 0 ? std::string(reply.begin(), reply.begin() + n) : std::string();
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class DebugSwitch {
public:
    explicit DebugSwitch(bool on) {
        if (on) {
            ::setenv("QN_DEBUG", "1", 1);
        } else {
            ::unsetenv("QN_DEBUG");
        }
    }
    ~DebugSwitch() { ::unsetenv("QN_DEBUG"); }
};

TEST(FtdiLinkTest, ListsOpensExchangesAndSurvivesUnplugging) {
    // The unplugged reader goes by a link of its own that its simulator removes when it ends: its
    // terminal's number may come back at once for another test's simulator.
    const std::string firstLink = ::testing::TempDir() + "ftdi-first-" + std::to_string(::getpid());
    SimProcess first({"--type", "244", "--version", "K", "--link", firstLink});
    SimProcess second({"--type", "029", "--version", "7"});
    SimProcess held({"--type", "244"});
    FtdiStandIn ftdi({{"1680A001", firstLink},
                      {"1316B002", second.port()},
                      {"1620C003", held.port()},
                      {"9999D004", second.port()}, // no reader's product number
                      {"", second.port()}});       // serial number not readable
    // Another connection holds the third device through its terminal.
    Handle other(QnOpenPort(held.port().c_str(), 19200, 0, 500));
    ASSERT_GT(other, 0);
    EXPECT_EQ(usbDevices(), (std::vector<std::string>{"1680A001", "1316B002"}));

    // Opened by serial number at 19200 whatever rate is asked for, like every non-COM name.
    Handle h(QnOpenPort("1680A001:1", 9600, 0, 500));
    ASSERT_GT(h, 0);
    EXPECT_LT(h, 10001);
    const std::string calls = ftdi.calls();
    EXPECT_NE(calls.find("CreateFile 1680A001 access=c0000000 share=0 create=3 flags=00000001"),
              std::string::npos)
        << calls;
    EXPECT_NE(calls.find("SetLatencyTimer 1680A001 2"), std::string::npos) << calls;
    EXPECT_NE(calls.find("SetCommState 1680A001 baud=19200 parity=0 stop=0 dtr=1 rts=1"),
              std::string::npos)
        << calls;
    EXPECT_NE(calls.find("PurgeComm 1680A001 12"), std::string::npos) << calls;
    EXPECT_EQ(usbDevices(), (std::vector<std::string>{"1316B002"})); // now held by us

    EXPECT_EQ(deviceType(h), "244K");
    EXPECT_EQ(QnIsHidConnection(h), 0);
    std::array<char, 16> name{};
    ASSERT_EQ(QnGetPortName(h, name.data(), 16), 8);
    EXPECT_EQ(std::string(name.data()), "1680A001");
    const std::vector<std::uint8_t> block{0x01, 0x14, '!', 0x07};
    ASSERT_EQ(QnWriteParameterBlock6(h, block.data(), 4), 0);
    std::array<unsigned char, 16> readBack{};
    ASSERT_EQ(QnReadParameterBlock6(h, readBack.data(), 16), 4);
    EXPECT_EQ(std::vector<std::uint8_t>(readBack.begin(), readBack.begin() + 4), block);
    EXPECT_EQ(first.block(6), block);

    // The PC side of an FTDI reader keeps its rate: the switch is refused before it is sent.
    EXPECT_EQ(QnSetBaudRate(h, 9600, 0), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_NOT_SERIAL);
    EXPECT_EQ(deviceType(h), "244K");

    // A silent reader costs next to no processor time while the port thread waits.
    const double cpuBefore = processSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const double cpu = processSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    EXPECT_LT(cpu / wall, 0.02) << cpu << " s of processor time in " << wall << " s";

    // A second reader at the same time, by its own handle.
    Handle h2(QnOpenPort("1316B002", 19200, 0, 500));
    ASSERT_GT(h2, 0);
    EXPECT_NE(h2, h);
    EXPECT_EQ(deviceType(h2), "0297");

    // Unplugged: exchanges time out, the handle stays until closed, the list forgets it.
    first.stop();
    EXPECT_EQ(deviceType(h), "");
    EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
    EXPECT_TRUE(usbDevices().empty());
    EXPECT_EQ(QnClosePort(h), 0);
    h.value = 0;
    EXPECT_EQ(QnClosePort(h2), 0);
    h2.value = 0;
    EXPECT_EQ(usbDevices(), (std::vector<std::string>{"1316B002"}));
    EXPECT_NE(ftdi.calls().find("CloseHandle 1316B002"), std::string::npos);
}

TEST(FtdiLinkTest, MissingLibraryOrEntryPoints) {
    struct Case {
        std::string variant;      // "" complete, else a stand-in lacking one entry point
        bool missingLibrary;      // QN_FTD2XX_LIBRARY names no file
        bool listed;              // the reader appears in the USB list
        bool opens;               // and opens by its serial number
        std::string debugMessage; // written with QN_DEBUG=1
    };
    const std::vector<Case> cases = {
        {"", true, false, false, "Fehler: Kann /nonexistent/libftd2xx.so nicht laden"},
        {"_no_latency", false, true, true, "Fehler: Kann FT_SetLatencyTimer nicht initialisieren"},
        {"_no_create", false, true, false, "Fehler: Kann FT_W32_CreateFile nicht initialisieren"},
        {"_no_list", false, false, true, "FT_GetDeviceInfoList ist nicht vorhanden!"},
        // Without timeouts a read could wait for good; such a library opens nothing.
        {"_no_timeouts", false, true, false,
         "Fehler: Kann FT_W32_SetCommTimeouts nicht initialisieren"},
    };
    SimProcess sim({"--type", "244", "--version", "K"});
    FtdiStandIn ftdi({{"1680A001", sim.port()}});
    // A keyboard reader beside it: listed after the FTDI readers, whatever D2XX does.
    SimProcess keyboard({"--hid", "--serial", "1650-000001"});
    ::setenv("QN_SIM_HID_SOCKETS", keyboard.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant + (c.missingLibrary ? " missing" : ""));
        if (c.missingLibrary) {
            ::setenv("QN_FTD2XX_LIBRARY", "/nonexistent/libftd2xx.so", 1);
        } else {
            ftdi.useVariant(c.variant);
        }
        for (const bool debug : {false, true}) {
            DebugSwitch debugSwitch(debug);
            testing::internal::CaptureStderr();
            const std::vector<std::string> listed = usbDevices();
            Handle h(QnOpenPort("1680A001", 19200, 0, 300));
            const std::string written = testing::internal::GetCapturedStderr();
            std::vector<std::string> expected{"1650-000001 HID"};
            if (c.listed) {
                expected.insert(expected.begin(), "1680A001");
            }
            EXPECT_EQ(listed, expected);
            if (c.opens) {
                ASSERT_GT(h, 0);
                EXPECT_EQ(deviceType(h), "244K");
            } else {
                EXPECT_EQ(h, QN_OPEN_FAILED);
            }
            if (debug) {
                EXPECT_NE(written.find(c.debugMessage + "\n"), std::string::npos) << written;
            } else {
                EXPECT_EQ(written, "");
            }
        }
        // Serial ports do not depend on the FTDI library.
        Handle serial(QnOpenPort(sim.port().c_str(), 19200, 0, 300));
        EXPECT_GT(serial, 0);
    }
}

} // namespace
