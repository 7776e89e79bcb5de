// The USB HID link through the shared library: the stand-in hidapi (loaded through
// QN_HIDAPI_LIBRARY, as the real one would be) and simulated HID readers (qn-sim --hid).
#include "qnlink.h"

#include "tests/devicelink/HandleGuard.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using veltra::test::Handle;
using veltra::test::SimProcess;

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Points the stand-in at the simulators and the device link at the stand-in.
void useReaders(const std::vector<const SimProcess*>& sims,
                const char* library = QN_HIDAPI_STANDIN) {
    std::string list;
    for (const SimProcess* sim : sims) {
        list += (list.empty() ? "" : ":") + sim->port();
    }
    ::setenv("QN_SIM_HID_SOCKETS", list.c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", library, 1);
    ::unsetenv("QN_SYSFS_ROOT");
    ::unsetenv("QN_HIDAPI_STANDIN_FAIL_OPEN");
}

std::vector<std::string> usbDevices() {
    std::array<char, 1024> buffer{};
    const int n = QnListUsbDevices(buffer.data(), static_cast<int>(buffer.size()));
    std::vector<std::string> names;
    for (int pos = 0; pos < n - 1;) {
        names.emplace_back(buffer.data() + pos);
        pos += static_cast<int>(names.back().size()) + 1;
    }
    return names;
}

std::string deviceType(int handle) {
    std::array<unsigned char, 8> reply{};
    const int n = QnReadDeviceType(handle, reply.data(), 8, nullptr, 0);
    return n > 0 ? std::string(reply.begin(), reply.begin() + n) : std::string();
}

long counter(const SimProcess& sim, const std::string& key) {
    const auto v = sim.value(key);
    return v ? std::stol(*v) : -1;
}

class TempFolder {
public:
    TempFolder() {
        std::string dir = "/tmp/qn-hid-test.XXXXXX";
        path = ::mkdtemp(dir.data());
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

TEST(HidLinkTest, ListsEachReaderOnceAndOpensByListedName) {
    SimProcess first({"--hid", "--serial", "1650-000111", "--type", "029", "--version", "7"});
    SimProcess twin({"--hid", "--serial", "1650-000111"});
    SimProcess unnamed({"--hid", "--no-serial"});
    SimProcess foreign({"--hid", "--serial", "9999-000001"}); // not a product number
    SimProcess wide({"--hid", "--serial", "1655-\xCE\xA9"});  // U+03A9 has no 8-bit character
    useReaders({&first, &twin, &unnamed, &foreign, &wide});

    EXPECT_EQ(usbDevices(),
              (std::vector<std::string>{"1650-000111 HID", "1319-???? HID", "1655-? HID"}));

    // The first of two readers with the same name is the one opened, with the first HID handle.
    Handle a(QnOpenPort("1650-000111 HID:1", 9600, 0, 500));
    ASSERT_EQ(a, QN_HANDLE_HID_BASE + 1);
    EXPECT_EQ(deviceType(a), "0297");
    EXPECT_TRUE(first.waitFor("hid_mode", "0"));
    EXPECT_FALSE(twin.value("hid_mode"));
    EXPECT_EQ(QnIsHidConnection(a), 1);
    EXPECT_EQ(QnIsLanConnection(a), 0);
    std::array<char, 64> name{};
    EXPECT_EQ(QnGetPortName(a, name.data(), 64), 15);
    EXPECT_EQ(std::string(name.data()), "1650-000111 HID");
    EXPECT_EQ(QnHidDevicePath("1650-000111 HID", name.data(), 64),
              static_cast<int>(("qn-sim:" + first.port()).size()));
    EXPECT_EQ(std::string(name.data()), "qn-sim:" + first.port());

    // A reader without serial number opens under its listed name; handles count on from 10001
    // and a closed one is given out again.
    Handle b(QnOpenPort("1319-???? HID", 19200, 0, 500));
    ASSERT_EQ(b, QN_HANDLE_HID_BASE + 2);
    EXPECT_EQ(deviceType(b), "244K");
    EXPECT_EQ(QnClosePort(a), 0);
    a.value = 0;
    EXPECT_TRUE(first.waitFor("hid_mode", "1")); // the mode message 1 before close
    Handle c(QnOpenPort("1655-? HID", 19200, 0, 500));
    EXPECT_EQ(c, QN_HANDLE_HID_BASE + 1);

    EXPECT_EQ(QnOpenPort("1650-000999 HID", 19200, 0, 500), QN_OPEN_FAILED);
    EXPECT_EQ(QnHidDevicePath("1650-000999 HID", name.data(), 64), -1);
    EXPECT_EQ(QnHidDevicePath("1319-???? HID", name.data(), 8), -1); // does not fit
}

// Report lengths as the link must find them, and what the reader does to its reports.
struct ReportCase {
    const char* what;
    const char* lengths;     // --report-length of the reader
    bool reportDescriptor;   // the hidapi has hid_get_report_descriptor
    bool sysfsDescriptor;    // the descriptor is in the (fake) sysfs tree instead
    bool longLength;         // full reports claim more payload than they hold
    int expectedOutputBytes; // payload per output report the link must use
};

// The descriptor of a vendor-defined reader with a 65-byte input and 65-byte output report.
const Bytes kDescriptor65 = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                             0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                             0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

class HidReportTest : public testing::TestWithParam<ReportCase> {};

TEST_P(HidReportTest, IdentifiesAndMovesWholeBlocks) {
    const ReportCase& c = GetParam();
    TempFolder sysfs;
    std::vector<std::string> args = {"--hid", "--report-length", c.lengths};
    if (c.longLength) {
        args.insert(args.end(), {"--hid-fault", "long-length"});
    }
    if (c.sysfsDescriptor) {
        // hidapi reports the hidraw node; its descriptor is read from sysfs.
        args.insert(args.end(), {"--hid-path", "/dev/hidraw93"});
        const fs::path dir = fs::path(sysfs.path) / "class/hidraw/hidraw93/device";
        fs::create_directories(dir);
        std::ofstream(dir / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(kDescriptor65.data()),
                   static_cast<std::streamsize>(kDescriptor65.size()));
    }
    SimProcess sim(args);
    useReaders({&sim}, c.reportDescriptor ? QN_HIDAPI_STANDIN : QN_HIDAPI_STANDIN_013);
    if (c.sysfsDescriptor) {
        ::setenv("QN_SYSFS_ROOT", sysfs.path.c_str(), 1);
    }

    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 1000));
    ASSERT_GT(h, QN_HANDLE_HID_BASE) << c.what;
    EXPECT_EQ(deviceType(h), "244K") << c.what;

    Bytes block(100);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0x30 + i);
    }
    // Once the set-key message is in the state file, so are the reports before it.
    const std::uint8_t setTilde[] = {0x12, '~', 0x02, 0x35};
    ASSERT_EQ(QnHidControlWrite(h, setTilde, 4), 0);
    ASSERT_TRUE(sim.waitFor("hid_sets", "1"));
    const long before = counter(sim, "hid_round_trips");
    ASSERT_EQ(QnWriteParameterBlock2(h, block.data(), 100), 0) << c.what;
    // The request frame (100 data bytes and 5 or 6 of framing) in as few reports as fit.
    const long reports = counter(sim, "hid_round_trips") - before;
    const long fewest = (105 + c.expectedOutputBytes - 1) / c.expectedOutputBytes;
    EXPECT_TRUE(reports == fewest || reports == fewest + 1) << c.what << ": " << reports;
    EXPECT_EQ(sim.block(2), block) << c.what;

    Bytes back(100);
    ASSERT_EQ(QnReadParameterBlock2(h, back.data(), 100), 100) << c.what;
    EXPECT_EQ(back, block) << c.what;
    std::array<unsigned char, 64> block1{};
    EXPECT_EQ(QnReadParameterBlock1(h, block1.data(), 64), 40) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HidReportTest,
    testing::Values(ReportCase{"9-byte reports", "9,9", true, false, false, 7},
                    ReportCase{"65-byte reports", "65,64", true, false, false, 62},
                    ReportCase{"65-byte reports from sysfs", "65,64", false, true, false, 62},
                    ReportCase{"no descriptor: 9 and 9", "9,9", false, false, false, 7},
                    ReportCase{"length byte beyond a 9-byte report", "9,9", true, false, true, 7},
                    ReportCase{"length byte beyond a 65-byte report", "65,64", true, false, true,
                               62}),
    [](const testing::TestParamInfo<ReportCase>& param) {
        std::string name;
        for (const char* c = param.param.what; *c != 0; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return name;
    });

TEST(HidLinkTest, ControlChannelQueriesAndSetsKeys) {
    SimProcess sim({"--hid"});
    SimProcess silentSet({"--hid", "--serial", "1650-000002", "--hid-fault", "refuse-set",
                          "--hid-fault", "query-ff"});
    SimProcess wrongEcho({"--hid", "--serial", "1650-000003", "--hid-fault", "wrong-echo"});
    SimProcess serial;
    useReaders({&sim, &silentSet, &wrongEcho});
    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 500));
    ASSERT_GT(h, 0);

    const std::uint8_t queryZ[] = {0x11, 'Z'};
    std::array<unsigned char, 10> reply{};
    ASSERT_EQ(QnHidCommand(h, queryZ, 2, reply.data(), 10), 4);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x11, 'Z', 0x02, 0x1D}));
    EXPECT_EQ(QnHidCommand(h, queryZ, 2, reply.data(), 2), 2); // cut to the reply buffer

    // A set-key message changes the reader's table; the next query shows it.
    const std::uint8_t setZ[] = {0x12, 'Z', 0x40, 0x1C};
    EXPECT_EQ(QnHidControlWrite(h, setZ, 4), 0);
    ASSERT_EQ(QnHidCommand(h, queryZ, 2, reply.data(), 10), 4);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x11, 'Z', 0x40, 0x1C}));
    EXPECT_TRUE(sim.waitFor("hid_key.5A", "40 1C"));
    EXPECT_TRUE(sim.waitFor("hid_queries", "3"));
    EXPECT_TRUE(sim.waitFor("hid_sets", "1"));
    EXPECT_EQ(deviceType(h), "244K"); // the command protocol still runs beside it

    const Bytes tooLong(8, 0x11); // more than a 9-byte report holds
    EXPECT_EQ(QnHidCommand(h, tooLong.data(), 8, reply.data(), 10), -1);
    EXPECT_EQ(QnHidControlWrite(h, tooLong.data(), -1), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_LENGTH);

    Handle refusing(QnOpenPort("1650-000002 HID", 19200, 0, 500));
    EXPECT_EQ(QnHidControlWrite(refusing, setZ, 4), 0); // fire and forget
    ASSERT_EQ(QnHidCommand(refusing, queryZ, 2, reply.data(), 10), 4);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x11, 'Z', 0xFF, 0xFF}));
    EXPECT_TRUE(silentSet.waitFor("hid_sets", "1"));
    EXPECT_EQ(silentSet.value("hid_key.5A"), "02 1D");

    Handle echoing(QnOpenPort("1650-000003 HID", 19200, 0, 500));
    ASSERT_GT(echoing, 0);
    EXPECT_EQ(QnHidCommand(echoing, queryZ, 2, reply.data(), 10), -1);

    // Connections without a control channel.
    Handle port(QnOpenPort(serial.port().c_str(), 19200, 0, 500));
    ASSERT_GT(port, 0);
    EXPECT_EQ(QnHidCommand(port, queryZ, 2, reply.data(), 10), -1);
    EXPECT_EQ(QnHidControlWrite(port, setZ, 4), -1);
    EXPECT_EQ(QnIsHidConnection(port), 0);
}

TEST(HidLinkTest, ReaderRefusingTheModeMessageDoesNotOpen) {
    SimProcess sim({"--hid", "--hid-fault", "no-mode"});
    useReaders({&sim});
    EXPECT_EQ(QnOpenPort("1650-000001 HID", 19200, 0, 500), QN_OPEN_HID_MODE);
    // The mode message, and nothing after it.
    EXPECT_TRUE(sim.waitFor("hid_round_trips", "1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(counter(sim, "hid_round_trips"), 1);
    EXPECT_FALSE(sim.value("hid_mode"));
    // Nothing is left behind: the next reader gets the first handle.
    SimProcess good({"--hid", "--serial", "1650-000004"});
    useReaders({&sim, &good});
    Handle h(QnOpenPort("1650-000004 HID", 19200, 0, 500));
    EXPECT_EQ(h, QN_HANDLE_HID_BASE + 1);
}

TEST(HidLinkTest, UnpluggedReaderEndsTheExchangeAndItsHandle) {
    auto sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--hid", "--fault", "silent", "--fault-command", "8A"});
    useReaders({sim.get()});
    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 3000));
    ASSERT_GT(h, 0);

    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ::kill(sim->pid(), SIGKILL);
    });
    std::array<unsigned char, 64> buffer{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QnReadParameterBlock2(h, buffer.data(), 64), -1);
    const auto took = std::chrono::steady_clock::now() - start;
    unplug.join();
    // Over as soon as the reader is gone, not after the reply timeout.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    // The next lookup drops the connection and frees its handle.
    EXPECT_EQ(QnGetLastError(h), QN_ERR_UNKNOWN_HANDLE);
    EXPECT_EQ(QnClosePort(h), -1);
    h.value = 0;
    sim.reset();

    SimProcess again({"--hid"});
    useReaders({&again});
    Handle next(QnOpenPort("1650-000001 HID", 19200, 0, 500));
    EXPECT_EQ(next, QN_HANDLE_HID_BASE + 1);
}

TEST(HidLinkTest, WithoutHidapiOnlyHidReadersAreMissing) {
    SimProcess hid({"--hid"});
    SimProcess serial;
    useReaders({&hid}, "/nonexistent/libhidapi-hidraw.so.0");
    std::array<char, 64> buffer{};
    EXPECT_EQ(QnListUsbDevices(buffer.data(), 64), 1);
    EXPECT_EQ(QnOpenPort("1650-000001 HID", 19200, 0, 500), QN_OPEN_FAILED);
    EXPECT_EQ(QnHidDevicePath("1650-000001 HID", buffer.data(), 64), -1);
    Handle port(QnOpenPort(serial.port().c_str(), 19200, 0, 500));
    EXPECT_GT(port, 0);
    EXPECT_EQ(deviceType(port), "244K");
}

TEST(HidLinkTest, NodeWithoutPermissionIsToldApart) {
    // The reader's hidraw node is a file of the test's own; a user who may not read and write
    // it cannot open the reader, and is told so. Root may open anything, so the open runs in a
    // child process as the user "nobody" when the test runs as root.
    TempFolder folder;
    const std::string node = folder.path + "/hidraw5";
    std::ofstream(node).put('\0');
    ::chmod(node.c_str(), 0600);
    SimProcess sim({"--hid", "--hid-path", node, "--socket", folder.path + "/reader.sock"});
    ::chmod(sim.port().c_str(), 0777);
    useReaders({&sim});
    std::array<char, 128> path{};
    ASSERT_EQ(QnHidDevicePath("1650-000001 HID", path.data(), 128), static_cast<int>(node.size()));
    EXPECT_EQ(std::string(path.data()), node);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(10);
        }
        if (::access(node.c_str(), R_OK | W_OK) == 0) {
            ::chmod(node.c_str(), 0); // not root, but the owner: take the right away
        }
        const int result = QnOpenPort("1650-000001 HID", 19200, 0, 500);
        ::_exit(result == QN_OPEN_NO_PERMISSION ? 0 : 20 + (-result & 0xF));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // A node the user may use, on a device that still fails to open, is no permission matter.
    ::chmod(node.c_str(), 0666);
    ::setenv("QN_HIDAPI_STANDIN_FAIL_OPEN", node.c_str(), 1);
    EXPECT_EQ(QnOpenPort("1650-000001 HID", 19200, 0, 500), QN_OPEN_FAILED);
    ::unsetenv("QN_HIDAPI_STANDIN_FAIL_OPEN");
    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 500));
    EXPECT_GT(h, 0);
}

std::atomic<int> g_progress{0};

TEST(HidLinkTest, WaitingForASilentReaderCostsNoCpu) {
    SimProcess sim({"--hid", "--fault", "silent", "--fault-command", "8A"});
    useReaders({&sim});
    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 200));
    ASSERT_GT(h, 0);
    QnSetWaitCallback([](int phase, void*) { g_progress += phase == QN_WAIT_PROGRESS; }, nullptr);

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    std::array<unsigned char, 64> buffer{};
    int exchanges = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        EXPECT_EQ(QnReadParameterBlock2(h, buffer.data(), 64), -1);
        EXPECT_EQ(QnGetLastError(h), QN_ERR_TIMEOUT);
        ++exchanges;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    QnSetWaitCallback(nullptr, nullptr);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                       seconds(after.ru_stime) - seconds(before.ru_stime);
    EXPECT_GE(exchanges, 8);
    EXPECT_LT(cpu / wall, 0.02) << cpu << " s of CPU in " << wall << " s";
    // The wait callback still runs about every 10 ms.
    EXPECT_GT(g_progress.load(), static_cast<int>(wall * 1000 / 10 / 2));
}

} // namespace
