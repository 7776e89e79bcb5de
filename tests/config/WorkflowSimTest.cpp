// The connection core and the programming sequence through the real device link against the
// reader simulator: what reaches the simulator's state file is what a reader would store.
#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/BoundedCall.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#ifdef QN_SIM_PATH

using namespace veltra;
using veltra::test::SimProcess;

namespace {

class FixedSource : public ConfigurationSource {
public:
    ReaderConfiguration config;
    FixedSource() {
        config.data[0].active = 1;
        config.data[0].registers = {1, 255, 255, 255};
        config.parameters = defaultReaderParameters();
    }
    Bytes prefixBlock() override { return {0x02, 0xFF}; }
    Bytes suffixBlock() override { return {0x0D, 0xFF}; }
    Bytes pullOffBlock() override { return {0xFF}; }
    Bytes separatorBlock() override { return {0xFF}; }
    std::optional<WorkflowMessage> takeDataFormats() override { return std::nullopt; }
    std::optional<WorkflowMessage> takeParameters() override { return std::nullopt; }
    const ReaderConfiguration& configuration() const override { return config; }
};

ConnectionTarget serial(const SimProcess& sim, int baudCode) {
    return ConnectionTarget{sim.port() + ":1", InterfaceKind::Serial, baudCode, 300};
}

} // namespace

TEST(WorkflowSim, BaudRateSearchReportsTheRateThatAnswered) {
    SimProcess sim({"--type", "551", "--version", "8", "--baud", "4800"});
    const OpenResult r = openReaderConnection(serial(sim, 19200));
    ASSERT_GT(r.handle, 0);
    EXPECT_TRUE(r.baudCorrected);
    EXPECT_EQ(r.baudCode, 4800);
    EXPECT_EQ(r.identity.typeCode, 0x551u);
    EXPECT_EQ(r.features, deviceTypeFeatures(0x551, 8) | feature::SerialInterface);
    closeReaderConnection(r.handle);
    EXPECT_EQ(sim.value("mode"), "2");
}

TEST(WorkflowSim, BaudRateSearchEndsOnAStreamingLine) {
    // A reader in reader mode at another bus address sends "A" every 20 ms and answers nothing:
    // five rates of three identification attempts, each at most three reply timeouts long.
    SimProcess sim({"--mode", "1", "--telegram", "A", "--interval", "20", "--address", "5"});
    ConnectionTarget target = serial(sim, 19200);
    target.timeoutMs = 100;
    const std::chrono::milliseconds bound{2 * 5 * 3 * 3 * target.timeoutMs};
    OpenResult r;
    const auto took = veltra::test::boundedCall(
        bound, [&] { r = openReaderConnection(target); }, [&] { sim.stop(); });
    EXPECT_LT(took, bound);
    EXPECT_EQ(r.handle, kOpenFailed);
    EXPECT_FALSE(r.baudCorrected);
}

TEST(WorkflowSim, ModelMismatchWritesNothing) {
    SimProcess sim({"--type", "244", "--version", "K"});
    const SimProcess::StateMap before = sim.state();
    FixedSource source;
    ProgrammingInput input;
    input.modelName = "QN-Anderes Modell";
    input.features = deviceTypeFeatures(0x244, 20) | feature::SerialInterface;
    input.open = [&] { return openReaderConnection(serial(sim, 19200)); };
    const ProgrammingResult r = programConfiguration(qnLink(), source, input);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message.id, 74000);
    SimProcess::StateMap after = sim.state();
    for (const char* key : {"block1", "block2", "block3", "block4", "block5", "block6",
                            "stored_mode", "transponder_config", "baud", "line"}) {
        EXPECT_EQ(after[key], before.count(key) ? before.at(key) : "") << key;
    }
}

TEST(WorkflowSim, ProgrammingANewBaudRateSwitchesReaderAndPort) {
    SimProcess sim({"--type", "244", "--version", "K"});
    const OpenResult identity = openReaderConnection(serial(sim, 19200));
    ASSERT_GT(identity.handle, 0);
    closeReaderConnection(identity.handle);

    FixedSource source;
    source.config.parameters.baudRate = 9600;
    ProgrammingInput input;
    input.modelName = identity.identity.modelName;
    input.features = identity.features;
    input.baudCode = 19200;
    input.open = [&] { return openReaderConnection(serial(sim, 19200)); };
    const ProgrammingResult r = programConfiguration(qnLink(), source, input);
    ASSERT_TRUE(r.success) << r.message.text;
    EXPECT_TRUE(r.baudChanged);
    EXPECT_EQ(r.baudCode, 9600);
    EXPECT_EQ(sim.value("baud"), "9600");
    EXPECT_EQ(sim.value("line"), "0");
    EXPECT_EQ(sim.block(2), (Bytes{0x02, 0xFF}));
    EXPECT_EQ(sim.block(6), (Bytes{0x00, 0x0A, 0x3F, 0x05}));

    // The stored code the caller keeps opens the reader again without a search.
    const OpenResult again = openReaderConnection(serial(sim, r.baudCode));
    EXPECT_GT(again.handle, 0);
    EXPECT_FALSE(again.baudCorrected);
    closeReaderConnection(again.handle);
}

#endif
