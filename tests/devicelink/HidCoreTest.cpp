// Inside the HID link: report lengths from report descriptors, and what an unplugged reader
// leaves in its connection.
#include "devicelink/PortName.h"
#include "devicelink/RWPort.h"
#include "devicelink/hid/ReportDescriptor.h"
#include "qnlink.h"

#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

using qnlink::ReportLengths;
using Bytes = std::vector<std::uint8_t>;

struct DescriptorCase {
    const char* what;
    Bytes descriptor;
    std::optional<std::pair<int, int>> lengths; // input, output
};

TEST(HidCoreTest, ReportLengthsFromDescriptors) {
    const std::vector<DescriptorCase> cases = {
        {"8 x 8 bits each way",
         {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x91, 0x02,
          0xC0},
         std::pair{9, 9}},
        {"two-byte count, output cut to 64",
         {0x75, 0x08, 0x96, 0x00, 0x01, 0x81, 0x02, 0x91, 0x02},
         std::pair{257, 64}},
        {"bits rounded up; only input: output keeps 9",
         {0x75, 0x01, 0x95, 0x0C, 0x81, 0x02},
         std::pair{3, 9}},
        {"numbered reports do not count",
         {0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0x85, 0x02, 0x95, 0x20, 0x81, 0x02, 0x91, 0x02},
         std::pair{5, 9}},
        {"push and pop keep the globals",
         {0x75, 0x08, 0x95, 0x02, 0xA4, 0x95, 0x10, 0x81, 0x02, 0xB4, 0x91, 0x02},
         std::pair{17, 3}},
        {"long item skipped",
         {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x03, 0x91, 0x02},
         std::pair{9, 4}},
        {"item cut short", {0x75, 0x08, 0x96, 0x40}, std::nullopt},
        {"pop without push", {0xB4, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, std::nullopt},
        {"no report at all", {0x06, 0x00, 0xFF, 0x09, 0x01}, std::nullopt},
        {"absurd size", {0x77, 0xFF, 0xFF, 0xFF, 0x7F, 0x95, 0x02, 0x81, 0x02}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got =
            qnlink::reportLengthsFromDescriptor(c.descriptor.data(), c.descriptor.size());
        ASSERT_EQ(got.has_value(), c.lengths.has_value()) << c.what;
        if (got) {
            EXPECT_EQ(got->input, c.lengths->first) << c.what;
            EXPECT_EQ(got->output, c.lengths->second) << c.what;
        }
    }
}

TEST(HidCoreTest, UnpluggedReaderTimesOutAndLeavesItsLinkUnusable) {
    veltra::test::SimProcess sim({"--hid"});
    ::setenv("QN_SIM_HID_SOCKETS", sim.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    qnlink::CQN_RW_Port port(qnlink::parsePortName("1650-000001 HID"), 1000, true);
    ASSERT_EQ(port.openLink(19200, 0), 0);
    ASSERT_TRUE(port.identify());
    ASSERT_TRUE(port.link()->usable());

    ::kill(sim.pid(), SIGKILL);
    sim.stop();
    EXPECT_FALSE(port.identify());
    EXPECT_EQ(port.lastError(), QN_ERR_TIMEOUT);
    EXPECT_FALSE(port.link()->usable());
}

} // namespace
