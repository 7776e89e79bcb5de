// veltra-cli check-update against the local HTTPS server and the reader simulator: the lines it
// prints and its exit status.
#include "tests/app/AppTestSupport.h"
#include "tests/support/HttpsTestServer.h"
#include "tests/support/SimProcess.h"

#include "resources/strings/StringTable.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace veltra::test {
namespace {

class CheckUpdateCli : public AppTest {
protected:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    Run run(const QString& base, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", tempPath());
        env.insert("XDG_CONFIG_HOME", tempPath());
        env.insert("VELTRA_UPDATE_URL", base);
        env.insert("VELTRA_UPDATE_CA", HttpsTestServer::caFile());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELTRA_CLI_PATH), QStringList{"check-update"} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    HttpsTestServer server;
};

TEST_F(CheckUpdateCli, PrintsTheAboutBoxLinesAndSaysByItsStatusWhetherToUpdate) {
    SimProcess sim({"--type", "244", "--version", "5"}); // firmware 1.05
    const QString port = QString::fromStdString(sim.port());
    struct Case {
        const char* name;
        QByteArray programList;
        QByteArray deviceList;
        bool withReader;
        int status;
        QString program;
        const char* reader; // nullptr: no second line
    };
    const QByteArray newer = "[Quarnel-Veltra]\nVersion=9.0\nBuild=2000-01-01\n";
    const QByteArray current = "[Quarnel-Veltra]\nVersion=1.0\nBuild=2000-01-01\n";
    const QByteArray readerList = "[Alias]\n244=LF-R\n[LF-R]\nVersion=";
    const QString currentLine = str(57344) + str(601);
    const Case cases[] = {
        {"program newer",
         newer,
         {},
         false,
         3,
         "Update Quarnel Veltra => V 9.0 (2000-01-01)",
         nullptr},
        {"program current", current, {}, false, 0, currentLine, nullptr},
        {"no entries", "[Quarnel-Veltra]\n", {}, false, 1, str(603), nullptr},
        {"no list", {}, {}, false, 1, str(602), nullptr},
        {"firmware newer", current, readerList + "1.06\n", true, 3, currentLine, " V1.05 => V1.06"},
        {"firmware current", current, readerList + "1.05\n", true, 0, currentLine,
         " V1.05  ist aktuell"},
        {"no reader list", current, {}, true, 1, currentLine, " V1.05  ist aktuell"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString folder = QStringLiteral("/u%1/").arg(n++);
        if (!c.programList.isEmpty()) {
            server.serve(folder + "RFIDVersionsLF.txt", {200, c.programList});
        }
        if (!c.deviceList.isEmpty()) {
            server.serve(folder + "RFIDDeviceVersions.txt", {200, c.deviceList});
        }
        const Run r = run(server.origin() + folder,
                          c.withReader ? QStringList{"--port", port} : QStringList{});
        EXPECT_EQ(r.status, c.status) << c.name << r.err.toStdString();
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), c.reader != nullptr ? 2 : 1) << c.name << r.out.toStdString();
        EXPECT_EQ(lines[0], c.program) << c.name;
        if (c.reader != nullptr) {
            EXPECT_TRUE(lines[1].endsWith(QString::fromUtf8(c.reader))) << c.name;
        }
    }
    // A reader that cannot be reached: the check is not complete.
    const Run unreachable = run(server.origin() + "/u5/", {"--port", "/dev/qn-nothing-here"});
    EXPECT_EQ(unreachable.status, 1) << unreachable.err.toStdString();
}

} // namespace
} // namespace veltra::test
