// veltra-cli's Ethernet commands in network namespaces: the program runs on the program side,
// a reader module and another maker's module on the module side.
#include "tests/support/CliProcess.h"
#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#ifdef QN_SIM_PATH

namespace {

using veltra::test::NetworkLab;
using veltra::test::SimProcess;

class CliLan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lab_ = std::make_unique<NetworkLab>();
        if (!lab_->create()) {
            return;
        }
        lab_->link("ca", "10.78.1.1/24", "m", "10.78.1.10/24");
        lab_->addAddress("m", "ca", "10.78.1.11/24");
        lab_->addAddress("m", "ca", "10.78.1.20/24");
        reader_ =
            sim({"--lan", "10.78.1.10", "--lan-name", "DOOR", "--lan-gateway", "10.78.1.254"});
        other_ = sim({"--lan", "10.78.1.11", "--lan-type", "XPORT"});
        ready_ = true;
    }
    static void TearDownTestSuite() {
        reader_.reset();
        other_.reset();
        lab_.reset();
    }
    void SetUp() override {
        if (!ready_) {
            VELTRA_SKIP_WITHOUT_NETNS(lab_->reason());
        }
    }
    static std::unique_ptr<SimProcess> sim(std::vector<std::string> args) {
        auto [program, prefix] = lab_->inModuleSide("m", QN_SIM_PATH);
        prefix.insert(prefix.end(), args.begin(), args.end());
        return std::make_unique<SimProcess>(program, prefix);
    }
    // veltra-cli on the program side.
    static CliRun cli(const std::vector<std::string>& arguments) {
        QStringList args{"netns", "exec", QString::fromStdString(lab_->ns("p")), VELTRA_CLI_PATH};
        for (const std::string& a : arguments) {
            args << QString::fromStdString(a);
        }
        QProcess process;
        process.start(QString::fromStdString(NetworkLab::ipProgram()), args);
        return finishCliProcess(process, 60000);
    }

    static inline std::unique_ptr<NetworkLab> lab_;
    static inline bool ready_ = false;
    static inline std::unique_ptr<SimProcess> reader_, other_;
};

TEST_F(CliLan, SearchShowAndSetAnAddress) {
    CliRun r = cli({"lan", "search"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Leser: 10.78.1.10-10001\nAnderes Modul: 10.78.1.11-10001\n");

    r = cli({"lan", "show", "10.78.1.10-10001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "IP-Adresse: 10.78.1.10\nDHCP Name: DOOR\nTCP Port: 10001\n"
                     "Subnetzmaske: 255.255.255.0\nGateway: 10.78.1.254\n");

    r = cli({"lan", "set", "10.78.1.10-10001", "--address", "10.78.1.300"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Gültige IP Adresse eingeben!\n");

    r = cli({"lan", "set", "10.78.1.10-10001", "--address", "10.78.1.20", "--mask", "255.255.0.0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Neue Schnittstelle: LAN: 10.78.1.20-10001\n");
    r = cli({"lan", "show", "10.78.1.20"});
    EXPECT_EQ(r.out, "IP-Adresse: 10.78.1.20\nDHCP Name: DOOR\nTCP Port: 10001\n"
                     "Subnetzmaske: 255.255.0.0\nGateway: 10.78.1.254\n");

    r = cli({"lan", "show", "[NOBODY]"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Die Netzwerkeinstellungen von [NOBODY] konnten nicht gelesen werden.\n");
}

} // namespace

#endif
