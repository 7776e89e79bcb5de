// Ethernet readers through the Qn interface, in network namespaces of their own: the program
// side has three adapters; module side "m" is reached through two of them, side "n" through
// the third. The simulated modules answer on TCP and on the UDP configuration port.
#include "qnlink.h"

#include "devicelink/Ping.h"
#include "devicelink/tcp/ModuleProtocol.h"
#include "tests/devicelink/HandleGuard.h"
#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using veltra::test::Handle;
using veltra::test::NetworkLab;
using veltra::test::SimProcess;

namespace {

std::vector<std::string> split(const char* buffer, int used) {
    std::vector<std::string> out;
    for (int i = 0; i + 1 < used;) {
        out.emplace_back(buffer + i);
        i += static_cast<int>(out.back().size()) + 1;
    }
    return out;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
        ++n;
    }
    return n;
}

// The count of a text in the simulator's log, once it has reached `expected` or a second has
// passed (a datagram without answer may still be on its way when the operation returns).
std::size_t logged(const SimProcess& sim, const std::string& what, std::size_t expected) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::size_t n = count(sim.log(), what);
    while (n < expected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = count(sim.log(), what);
    }
    return n;
}

class LanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lab_ = std::make_unique<NetworkLab>();
        if (!lab_->create()) {
            return;
        }
        lab_->link("qa", "10.77.1.1/24", "m", "10.77.1.10/24");
        lab_->link("qb", "10.77.2.1/24", "m", "10.77.2.10/24");
        lab_->link("qc", "10.77.3.1/24", "n", "10.77.3.10/24");
        for (const char* a : {"10.77.1.11/24", "10.77.1.12/24"}) {
            lab_->addAddress("m", "qa", a);
        }
        for (const char* a : {"10.77.3.20/24", "10.77.3.21/24", "10.77.3.30/24"}) {
            lab_->addAddress("n", "qc", a);
        }
        ready_ = true;
        reader1_ = sim("m", {"--lan", "10.77.1.10", "--lan-name", "READER1"});
        foreign_ = sim("m", {"--lan", "10.77.1.11", "--lan-name", "OTHER", "--lan-type", "XPORT"});
        dhcp_ = sim("m", {"--lan", "10.77.1.12", "--lan-name", "LAB", "--lan-dhcp"});
        reader3_ = sim(
            "n", {"--lan", "10.77.3.10", "--lan-name", "READER3", "--lan-gateway", "10.77.3.254"});
        lab_->enterProgramSide();
    }
    static void TearDownTestSuite() {
        reader1_.reset();
        foreign_.reset();
        dhcp_.reset();
        reader3_.reset();
        lab_.reset();
    }
    void SetUp() override {
        if (!ready_) {
            VELTRA_SKIP_WITHOUT_NETNS(lab_->reason());
        }
    }
    static std::unique_ptr<SimProcess> sim(const std::string& side, std::vector<std::string> args) {
        auto [program, prefix] = lab_->inModuleSide(side, QN_SIM_PATH);
        prefix.insert(prefix.end(), args.begin(), args.end());
        return std::make_unique<SimProcess>(program, prefix);
    }

    static inline std::unique_ptr<NetworkLab> lab_;
    static inline bool ready_ = false;
    static inline std::unique_ptr<SimProcess> reader1_, foreign_, dhcp_, reader3_;
};

TEST_F(LanTest, SearchListsEveryModuleOnceAndReadersApart) {
    std::array<char, 2500> buffer{};
    const int devices = QnSearchLanDevices(buffer.data(), static_cast<int>(buffer.size()));
    EXPECT_EQ(split(buffer.data(), devices),
              (std::vector<std::string>{"10.77.1.10-10001", "10.77.1.11-10001", "10.77.3.10-10001",
                                        "[LAB]10.77.1.12-10001"}));
    // One broadcast per adapter: the module behind two adapters heard both and is listed once.
    const std::string log = reader1_->log();
    EXPECT_EQ(count(log, "broadcast F8 from 10.77.1.1\n"), 1U) << log;
    EXPECT_EQ(count(log, "broadcast F8 from 10.77.2.1\n"), 1U) << log;

    const int readers = QnSearchLanReaders(buffer.data(), static_cast<int>(buffer.size()));
    EXPECT_EQ(split(buffer.data(), readers),
              (std::vector<std::string>{"10.77.1.10-10001", "10.77.3.10-10001", "[LAB]"}));
    // A buffer too small for the list keeps the entries that fit.
    std::array<char, 20> small{};
    const int used = QnSearchLanReaders(small.data(), static_cast<int>(small.size()));
    EXPECT_EQ(split(small.data(), used), (std::vector<std::string>{"10.77.1.10-10001"}));
}

TEST_F(LanTest, ReadSettingsOfFixedAndDhcpModulesAndFaultyOnes) {
    struct Case {
        const char* name;
        int result;
        const char* address;
        const char* moduleName;
        const char* mask;
        const char* gateway;
    };
    const Case cases[] = {
        {"10.77.1.10-10001", 0, "10.77.1.10-10001", "[READER1]-10001", "255.255.255.0", "0.0.0.0"},
        {"10.77.3.10:3", 0, "10.77.3.10-10001", "[READER3]-10001", "255.255.255.0", "10.77.3.254"},
        {"[LAB]-10001", 0, "", "[LAB]-10001", "255.255.255.0", "0.0.0.0"},
        {"10.77.1.99-10001", -1, "", "", "", ""}, // nobody there
        {"[NOBODY]", -1, "", "", "", ""},
    };
    for (const auto& c : cases) {
        char address[QN_LAN_TEXT_SIZE] = {}, name[QN_LAN_TEXT_SIZE] = {},
             mask[QN_LAN_TEXT_SIZE] = {}, gateway[QN_LAN_TEXT_SIZE] = {};
        EXPECT_EQ(QnLanReadSettings(c.name, name, address, mask, gateway), c.result) << c.name;
        EXPECT_STREQ(address, c.address) << c.name;
        EXPECT_STREQ(name, c.moduleName) << c.name;
        EXPECT_STREQ(mask, c.mask) << c.name;
        EXPECT_STREQ(gateway, c.gateway) << c.name;
    }
    // Without a name buffer a DHCP module's name goes to the address buffer.
    char address[QN_LAN_TEXT_SIZE] = {};
    EXPECT_EQ(QnLanReadSettings("[LAB]", nullptr, address, nullptr, nullptr), 0);
    EXPECT_STREQ(address, "[LAB]-10001");

    // Answers that are too short, or that come from another address, are not taken.
    for (const std::vector<std::string>& fault :
         {std::vector<std::string>{"--lan-fault", "short"},
          std::vector<std::string>{"--lan-fault", "other-address", "--lan-reply-from",
                                   "10.77.3.21"},
          std::vector<std::string>{"--lan-fault", "silent"}}) {
        std::vector<std::string> args{"--lan", "10.77.3.20"};
        args.insert(args.end(), fault.begin(), fault.end());
        const auto faulty = sim("n", args);
        EXPECT_EQ(QnLanReadSettings("10.77.3.20", nullptr, address, nullptr, nullptr), -1)
            << fault[1];
    }
}

TEST_F(LanTest, RemoteHostIsWrittenOnlyWhenItChanges) {
    const auto module = sim("n", {"--lan", "10.77.3.20", "--lan-name", "TCPCLIENT"});
    char address[QN_LAN_ADDRESS_SIZE] = {};
    int port = -1;
    EXPECT_EQ(QnLanReadRemoteHost("10.77.3.20-10001", nullptr, &port), -17);
    EXPECT_EQ(QnLanReadRemoteHost("10.77.3.20-10001", address, nullptr), -17);
    ASSERT_EQ(QnLanReadRemoteHost("10.77.3.20-10001", address, &port), 0);
    EXPECT_STREQ(address, "");
    EXPECT_EQ(port, 0);

    ASSERT_EQ(QnLanWriteRemoteHost("10.77.3.20-10001", "10.77.3.1", 4001), 0);
    EXPECT_EQ(count(module->log(), "wrote block 0"), 1U);
    EXPECT_EQ(logged(*module, "closing message", 1), 1U);
    ASSERT_EQ(QnLanReadRemoteHost("10.77.3.20-10001", address, &port), 0);
    EXPECT_STREQ(address, "10.77.3.1");
    EXPECT_EQ(port, 4001);

    // The stored values again: no write and no closing message.
    ASSERT_EQ(QnLanWriteRemoteHost("10.77.3.20-10001", "10.77.3.1", 4001), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(count(module->log(), "wrote block 0"), 1U);
    EXPECT_EQ(count(module->log(), "closing message"), 1U);

    EXPECT_EQ(QnLanWriteRemoteHost("10.77.3.20-10001", "10.77.3", 4001), -1); // not an address
    ASSERT_EQ(QnLanWriteRemoteHost("10.77.3.20-10001", "", 0), 0);
    ASSERT_EQ(QnLanReadRemoteHost("10.77.3.20-10001", address, &port), 0);
    EXPECT_STREQ(address, "");
    EXPECT_EQ(logged(*module, "wrote block 0", 2), 2U);
    EXPECT_EQ(logged(*module, "closing message", 2), 2U);
}

TEST_F(LanTest, SetAddressMovesTheModuleAndTheReaderAnswersThereOverTcp) {
    const auto module = sim("n", {"--lan", "10.77.3.20", "--lan-name", "MOVER", "--lan-gateway",
                                  "10.77.3.254", "--lan-move-delay", "300"});
    char gateway[QN_LAN_TEXT_SIZE] = {}, mask[QN_LAN_TEXT_SIZE] = {};
    // The current address without mask or gateway: only the gateway changes (it is cleared),
    // no set-IP-address message goes out.
    ASSERT_EQ(QnLanSetAddress("10.77.3.20-10001", "10.77.3.20-10001", nullptr, nullptr), 0);
    ASSERT_EQ(QnLanReadSettings("10.77.3.20", nullptr, nullptr, mask, gateway), 0);
    EXPECT_STREQ(gateway, "0.0.0.0");
    EXPECT_STREQ(mask, "255.255.255.0");
    EXPECT_EQ(count(module->log(), "set address"), 0U);

    // Refused before anything is sent: a name longer than the module keeps, a bad mask.
    EXPECT_EQ(QnLanSetAddress("10.77.3.20", "[ABCDEFGHIJKLMNOPQ]", nullptr, nullptr), -1);
    EXPECT_EQ(QnLanSetAddress("10.77.3.20", "10.77.3.21", "255.255.0", nullptr), -1);

    ASSERT_EQ(QnLanSetAddress("10.77.3.20-10001", "10.77.3.21-10001", "255.255.0.0", "10.77.3.1"),
              0);
    EXPECT_EQ(count(module->log(), "set address 10.77.3.21"), 1U) << module->log();
    EXPECT_EQ(count(module->log(), "now at 10.77.3.21"), 1U);
    EXPECT_EQ(QnPingLanDevice("10.77.3.21-10001"), 1);
    char address[QN_LAN_TEXT_SIZE] = {};
    ASSERT_EQ(QnLanReadSettings("10.77.3.21", nullptr, address, mask, gateway), 0);
    EXPECT_STREQ(address, "10.77.3.21-10001");
    EXPECT_STREQ(mask, "255.255.0.0");
    EXPECT_STREQ(gateway, "10.77.3.1");

    // The reader channel at the new address: a TCP handle, the resolved host as its name.
    Handle h(QnOpenPort("10.77.3.21", 9600, 0, 500));
    ASSERT_GT(h.value, QN_HANDLE_TCP_BASE);
    EXPECT_EQ(QnIsLanConnection(h), 1);
    char name[32] = {};
    EXPECT_EQ(QnGetPortName(h, name, sizeof name), 10);
    EXPECT_STREQ(name, "10.77.3.21");
    const unsigned char block6[] = {0x01, 0x0A, 0x3F, 0x05};
    ASSERT_EQ(QnWriteParameterBlock6(h, block6, 4), 0);
    unsigned char back[8] = {};
    ASSERT_EQ(QnReadParameterBlock6(h, back, sizeof back), 4);
    EXPECT_EQ(back[0], 0x01);
}

TEST_F(LanTest, TcpHandlesCountFrom20001AndTheLinkReconnectsAfterThePeerClosed) {
    auto module = sim("n", {"--lan", "10.77.3.30", "--type", "029", "--version", "7"});
    Handle first(QnOpenPort("10.77.3.30", 19200, 0, 500)); // no "-": port 10001
    ASSERT_EQ(first.value, QN_HANDLE_TCP_BASE + 1);
    {
        Handle second(QnOpenPort("10.77.3.30-10001:1", 19200, 0, 500));
        EXPECT_EQ(second.value, QN_HANDLE_TCP_BASE + 2);
        Handle viaName(QnOpenPort("[LAB]-10001", 19200, 0, 500));
        EXPECT_EQ(viaName.value, QN_HANDLE_TCP_BASE + 3);
        char name[32] = {};
        EXPECT_GT(QnGetPortName(viaName, name, sizeof name), 0);
        EXPECT_STREQ(name, "10.77.1.12");
    }
    EXPECT_EQ(QnOpenPort("10.77.3.30-10009", 19200, 0, 500), QN_OPEN_FAILED); // refused
    EXPECT_EQ(QnOpenPort("[NOBODY]", 19200, 0, 500), QN_OPEN_FAILED);

    // The module restarts: the connection is gone, the next request connects again.
    module.reset();
    module = sim("n", {"--lan", "10.77.3.30", "--type", "029", "--version", "7"});
    unsigned char reply[8] = {};
    char model[32] = {};
    int n = QnReadDeviceType(first, reply, sizeof reply, model, sizeof model);
    if (n < 0) {
        // The first request after the peer closed may be lost with the closed connection.
        n = QnReadDeviceType(first, reply, sizeof reply, model, sizeof model);
    }
    EXPECT_EQ(n, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "0297");
}

// A reader that speaks only the CRC framing takes the STX identification for the start of a
// longer frame; its line gives that up after the idle gap, so the CRC identification that
// follows is answered over TCP as on a serial port.
TEST_F(LanTest, ReaderSpeakingOnlyCrcIsIdentifiedOverTcp) {
    const auto module = sim("n", {"--lan", "10.77.3.30", "--framing", "crc"});
    Handle h(QnOpenPort("10.77.3.30", 19200, 0, 300));
    ASSERT_GT(h, QN_HANDLE_TCP_BASE);
    unsigned char block6[8] = {};
    EXPECT_EQ(QnReadParameterBlock6(h, block6, sizeof block6), 4);
}

TEST_F(LanTest, PingByEveryMethod) {
    using qnlink::CPing;
    const std::uint32_t reader = *qnlink::parseDottedAddress("10.77.1.10");
    const std::uint32_t nobody = *qnlink::parseDottedAddress("10.77.1.99");
    lab_->sysctl("p", "net.ipv4.ping_group_range=0 2147483647");
    for (auto method :
         {CPing::Method::IcmpDatagram, CPing::Method::IcmpRaw, CPing::Method::TcpConnect}) {
        EXPECT_TRUE(CPing::ping(reader, 10001, method)) << static_cast<int>(method);
        EXPECT_TRUE(CPing::ping(reader, 10009, method)) << "a refused connection answers too";
        EXPECT_FALSE(CPing::ping(nobody, 10001, method)) << static_cast<int>(method);
    }
    EXPECT_EQ(QnPingLanDevice("10.77.1.10"), 1);
    EXPECT_EQ(CPing::lastMethod(), CPing::Method::IcmpDatagram);
    // Where datagram ICMP sockets are forbidden, root still pings through a raw socket.
    lab_->sysctl("p", "net.ipv4.ping_group_range=1 0");
    EXPECT_EQ(QnPingLanDevice("10.77.3.10-10001:2"), 1);
    EXPECT_EQ(CPing::lastMethod(), CPing::Method::IcmpRaw);
    EXPECT_EQ(QnPingLanDevice("[LAB]-10001"), 1);
    EXPECT_EQ(QnPingLanDevice("10.77.1.99"), 0);
    EXPECT_EQ(QnPingLanDevice("[NOBODY]-10001"), 0);
}

TEST(LanProtocolTest, EchoRepliesWithAlteredDataDoNotCount) {
    using qnlink::CPing;
    std::vector<std::uint8_t> reply{0, 0, 0, 0, 0x12, 0x34, 0x00, 0x07};
    reply.insert(reply.end(), CPing::kDataSize, CPing::kDataByte);
    EXPECT_TRUE(CPing::isMatchingReply(reply.data(), reply.size(), 0x1234, 7, true));
    EXPECT_FALSE(CPing::isMatchingReply(reply.data(), reply.size(), 0x1234, 8, true));
    EXPECT_FALSE(CPing::isMatchingReply(reply.data(), reply.size(), 0x1235, 7, true));
    reply[12] = 0x46;
    EXPECT_FALSE(CPing::isMatchingReply(reply.data(), reply.size(), 0x1234, 7, true));
    reply[12] = 0x45;
    reply.pop_back();
    EXPECT_FALSE(CPing::isMatchingReply(reply.data(), reply.size(), 0x1234, 7, true));
}

TEST(LanProtocolTest, MaskHostBitsAndAddresses) {
    using namespace qnlink;
    struct Case {
        const char* mask;
        int hostBits;
    };
    for (const Case& c : {Case{"255.255.255.0", 8}, Case{"255.255.0.0", 16}, Case{"0.0.0.0", 32},
                          Case{"255.255.255.255", 0}}) {
        EXPECT_EQ(hostBitsFromMask(*parseDottedAddress(c.mask)), c.hostBits) << c.mask;
        EXPECT_EQ(dottedAddress(maskFromHostBits(c.hostBits)), c.mask);
    }
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d"}) {
        EXPECT_FALSE(parseDottedAddress(bad)) << bad;
    }
}

} // namespace
