// The configuration sheet's reading and programming sequences against an Ethernet reader in a
// network namespace: the reader is opened over TCP, its TCP client fields come from the module
// configuration, and programming writes the changed ones back (and nothing when they stay).
#include "config/DeviceFeatures.h"
#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/ReaderLink.h"
#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace veltra::test {
namespace {

TEST(LanWorkflow, EthernetReaderIsReadAndProgrammedWithItsTcpClient) {
    NetworkLab lab;
    if (!lab.create()) {
        VELTRA_SKIP_WITHOUT_NETNS(lab.reason());
    }
    lab.link("qw", "10.78.1.1/24", "m", "10.78.1.10/24");
    auto [program, args] = lab.inModuleSide("m", QN_SIM_PATH);
    args.insert(args.end(), {"--lan", "10.78.1.10", "--type", "551", "--version", "K"});
    SimProcess module(program, args);
    lab.enterProgramSide();

    ReaderLink& link = qnLink();
    ASSERT_EQ(link.lanWriteRemoteHost("10.78.1.10-10001", "10.78.1.1", 4001), 0);
    ConnectionTarget target;
    target.connectionString = "10.78.1.10";
    target.kind = InterfaceKind::Lan;
    target.timeoutMs = 500;
    const auto open = [&] { return openReaderConnection(link, target); };

    ReadingInput reading;
    reading.open = open;
    const ReaderReading read = readConfiguration(link, reading);
    ASSERT_TRUE(read.connected);
    ASSERT_EQ(read.features & feature::TcpClient, feature::TcpClient);
    EXPECT_EQ(read.parameters.remoteIp, "10.78.1.1");
    EXPECT_EQ(read.parameters.remotePort, 4001);

    ConfigurationModel model(read.features);
    loadReading(model, read);
    ReaderParameters& p = model.content().config.parameters;
    p.remotePort = 5002;
    p.cycleTimeMs = 700;
    ProgrammingInput programming;
    programming.modelName = model.modelName();
    programming.features = model.features();
    programming.baudCode = read.baudCode;
    programming.open = open;
    const ProgrammingResult result = programConfiguration(link, model, programming);
    ASSERT_TRUE(result.success) << result.message.text;
    std::array<char, 20> address{};
    int port = 0;
    ASSERT_EQ(link.lanReadRemoteHost("10.78.1.10-10001", address.data(), &port), 0);
    EXPECT_STREQ(address.data(), "10.78.1.1");
    EXPECT_EQ(port, 5002);
    EXPECT_EQ(module.block(6).at(1), 7); // cycle time in 100 ms

    // Programming again with the same TCP client fields writes no module block.
    const std::string before = module.log();
    ASSERT_TRUE(programConfiguration(link, model, programming).success);
    const std::string after = module.log().substr(before.size());
    EXPECT_EQ(after.find("wrote block"), std::string::npos) << after;
}

} // namespace
} // namespace veltra::test
