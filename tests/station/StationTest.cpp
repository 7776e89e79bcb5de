// veltra-cli station against simulated readers through the real device link: several readers at
// once, a reader that refuses a write, one whose memory alters a block, and readers that appear
// in a watched folder while the station runs. What the simulators' state files and the audit log
// hold afterwards is what a production line would see.
#include "config/workflow/ConfigurationWorkflow.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using veltra::test::SimProcess;
using Bytes = std::vector<std::uint8_t>;

// The suffix the test file programs: "AB" CR LF.
const Bytes kSuffix = {0x41, 0x42, 0x0D, 0x0A, 0xFF};

class Station : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("HOME"), home_.path());
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
    }

    QStringList arguments(const std::vector<std::string>& list) const {
        QStringList args;
        for (const std::string& a : list) {
            args << QString::fromStdString(a);
        }
        return args;
    }

    void start(QProcess& process, const std::vector<std::string>& args) {
        process.setProcessEnvironment(environment_);
        process.start(QStringLiteral(VELTRA_CLI_PATH), arguments(args));
        process.closeWriteChannel();
    }

    static CliRun finish(QProcess& process) { return finishCliProcess(process, 90000); }

    CliRun run(const std::vector<std::string>& args) {
        QProcess process;
        start(process, args);
        return finish(process);
    }

    std::string path(const char* name) const { return home_.filePath(name).toStdString(); }

    // A configuration for the model of `sim`, with its own suffix.
    std::string configurationFor(const SimProcess& sim, const std::string& port = {}) {
        const CliRun r = run({"identify", "--port", port.empty() ? sim.port() : port});
        const std::string key = "Modell: ";
        const auto at = r.out.find(key);
        EXPECT_NE(at, std::string::npos) << r.out << r.err;
        const std::string model =
            r.out.substr(at + key.size(), r.out.find('\n', at) - at - key.size());
        const std::string file = path("door.mkr");
        std::ofstream(file) << "[Device]\nName=" << model
                            << "\n[Prefix]\nCount=1\nAscii0=2\n"
                               "[Suffix]\nCount=4\nAscii0=65\nAscii1=66\nAscii2=13\nAscii3=10\n"
                               "[Abziehen]\nCount=0\n[Termix]\nCount=1\nAscii0=44\n"
                               "[Data1]\nTransponderTyp=0\nRegister1=1\nDarstellung=1\n"
                               "Laenge=10\nGueltigeBytes=5\nGueltigeBytesAb=1\n"
                               "[Data]\nBetriebsart=1\nZykluszeit=500\nBaudrate=19200\n"
                               "Aufforderung=?\nTimeout=1000\nReaderModus=1\n";
        return file;
    }

    // The log's lines as JSON objects, by port.
    std::map<std::string, QJsonObject> logByPort(const std::string& file, int* lines) {
        std::map<std::string, QJsonObject> byPort;
        std::ifstream in(file);
        std::string line;
        *lines = 0;
        while (std::getline(in, line)) {
            ++*lines;
            QJsonParseError error{};
            const QJsonDocument doc =
                QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
            byPort[doc.object().value("port").toString().toStdString()] = doc.object();
        }
        return byPort;
    }

    QTemporaryDir home_;
    QProcessEnvironment environment_;
};

TEST_F(Station, ThreeReadersAtOnceTwoPassOneFailsWithItsStepAndMessage) {
    SimProcess same({"--type", "244", "--version", "K"});
    SimProcess otherModel({"--type", "551", "--version", "8"});
    // Refuses the write of block 1 (command 81) as too long.
    SimProcess refusing(
        {"--type", "244", "--version", "K", "--status", "02", "--fault-command", "81"});
    const std::string file = configurationFor(same);
    const std::string log = path("audit.jsonl");

    const CliRun r = run({"station", file, "--port", same.port(), "--port", otherModel.port(),
                          "--port", refusing.port(), "--log", log, "--yes"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("2 Leser in Ordnung, 1 fehlgeschlagen"), std::string::npos) << r.out;
    EXPECT_EQ(same.block(3), kSuffix);
    EXPECT_EQ(otherModel.block(3), kSuffix);

    int lines = 0;
    const auto byPort = logByPort(log, &lines);
    EXPECT_EQ(lines, 3);
    ASSERT_EQ(byPort.size(), 3u);
    const char* fields[] = {"time",   "port",   "model", "type",    "firmware",    "file",
                            "sha256", "result", "step",  "message", "differences", "seconds"};
    for (const auto& [port, entry] : byPort) {
        for (const char* field : fields) {
            EXPECT_TRUE(entry.contains(field)) << port << " lacks " << field;
        }
        EXPECT_EQ(entry.value("file").toString(), "door.mkr");
        EXPECT_EQ(entry.value("sha256").toString().size(), 64);
        EXPECT_GT(entry.value("seconds").toDouble(), 0.0);
    }
    EXPECT_EQ(byPort.at(same.port()).value("result").toString(), "ok");
    EXPECT_EQ(byPort.at(otherModel.port()).value("result").toString(), "ok");
    EXPECT_EQ(byPort.at(otherModel.port()).value("type").toString(), "551");
    const QJsonObject failed = byPort.at(refusing.port());
    EXPECT_EQ(failed.value("result").toString(), "failed");
    EXPECT_EQ(failed.value("step").toString(), "program");
    const std::string message = failed.value("message").toString().toStdString();
    EXPECT_EQ(message.rfind(veltra::stepText(veltra::WorkflowStep::WriteDataBlock), 0), 0u)
        << message;
    EXPECT_NE(r.err.find(refusing.port()), std::string::npos) << r.err;
}

TEST_F(Station, ABlockThatReadsBackDifferentFailsVerificationNamingTheBlock) {
    SimProcess altering({"--type", "244", "--version", "K", "--alter-block", "3"});
    const std::string file = configurationFor(altering);
    const std::string log = path("audit.jsonl");

    const CliRun r = run({"station", file, "--port", altering.port(), "--log", log, "--no"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    int lines = 0;
    const auto byPort = logByPort(log, &lines);
    ASSERT_EQ(lines, 1);
    const QJsonObject entry = byPort.at(altering.port());
    EXPECT_EQ(entry.value("result").toString(), "failed");
    EXPECT_EQ(entry.value("step").toString(), "verify");
    const QJsonArray differences = entry.value("differences").toArray();
    ASSERT_EQ(differences.size(), 1);
    EXPECT_EQ(differences.at(0).toString().toStdString(),
              "Block 3 (Suffix): geschrieben 41 42 0D 0A FF, gelesen 41 42 0D 0A FE");
}

TEST_F(Station, AReaderWhoseLogLineCannotBeWrittenDoesNotPass) {
    SimProcess reader({"--type", "244", "--version", "K"});
    const std::string file = configurationFor(reader);
    // Every write to /dev/full fails as on a full disk.
    const CliRun r = run({"station", file, "--port", reader.port(), "--log", "/dev/full"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("0 Leser in Ordnung, 1 fehlgeschlagen"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
}

TEST_F(Station, WatchedFolderProgramsAReaderThatAppearsAndAStayingReaderOnlyOnce) {
    SimProcess model({"--type", "244", "--version", "K"});
    const std::string file = configurationFor(model);
    const std::string log = path("audit.jsonl");
    const std::string folder = path("by-id");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));

    QProcess station;
    start(station, {"station", file, "--watch-dir", folder, "--count", "2", "--log", log, "--yes"});
    ASSERT_TRUE(station.waitForStarted());
    auto logLines = [&] {
        int lines = 0;
        logByPort(log, &lines);
        return lines;
    };
    auto waitForLines = [&](int wanted) {
        QElapsedTimer timer;
        timer.start();
        while (logLines() < wanted && timer.elapsed() < 30000) {
            QThread::msleep(50);
        }
        return logLines() == wanted;
    };

    SimProcess first({"--type", "244", "--version", "K", "--link", folder + "/reader-1"});
    ASSERT_TRUE(waitForLines(1));
    // The first reader stays plugged in for several looks at the folder.
    QThread::msleep(1000);
    EXPECT_EQ(logLines(), 1);
    SimProcess second({"--type", "244", "--version", "K", "--link", folder + "/reader-2"});

    const CliRun r = finish(station);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    int lines = 0;
    const auto byPort = logByPort(log, &lines);
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(byPort.at(folder + "/reader-1").value("result").toString(), "ok");
    EXPECT_EQ(byPort.at(folder + "/reader-2").value("result").toString(), "ok");
    EXPECT_EQ(first.block(3), kSuffix);
    EXPECT_EQ(second.block(3), kSuffix);
}

// A keyboard reader has no link in /dev/serial/by-id: --watch finds it in the device link's USB
// list, programs it over its control channel and reads its key layout back with the blocks.
TEST_F(Station, WatchProgramsAKeyboardReaderFromTheUsbList) {
    SimProcess keyboard({"--hid", "--type", "551", "--serial", "1650-004712"});
    environment_.insert(QStringLiteral("QN_SIM_HID_SOCKETS"),
                        QString::fromStdString(keyboard.port()));
    environment_.insert(QStringLiteral("QN_HIDAPI_LIBRARY"), QStringLiteral(QN_HIDAPI_STANDIN));
    const std::string port = "1650-004712 HID";
    const std::string file = configurationFor(keyboard, port);
    const std::string log = path("audit.jsonl");

    const CliRun r = run({"station", file, "--watch", "--count", "1", "--log", log, "--yes"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    int lines = 0;
    const auto byPort = logByPort(log, &lines);
    ASSERT_EQ(lines, 1);
    const QJsonObject entry = byPort.begin()->second;
    EXPECT_EQ(entry.value("result").toString(), "ok")
        << entry.value("message").toString().toStdString();
    EXPECT_EQ(entry.value("type").toString(), "551");
    EXPECT_EQ(keyboard.block(3), kSuffix);
}

} // namespace
