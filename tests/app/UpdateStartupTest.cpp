// The program's start-up with the update check, as quarnel-veltra runs it: the application
// object against the reader simulator and a local HTTPS server. Each test makes an application
// object of its own.
#include "app/MainFrame.h"
#include "app/VeltraApp.h"
#include "tests/support/HttpsTestServer.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/SimProcess.h"
#include "update/ui/CAboutDlg.h"
#include "update/workflow/CUpdateCheck.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace veltra::test {
namespace {

const QString kProgramList = QStringLiteral("/rfid/software/RFIDVersionsLF.txt");
const QString kDeviceList = QStringLiteral("/rfid/software/RFIDDeviceVersions.txt");

int argc = 1;
char name[] = "quarnel-veltra";
char* argv[] = {name, nullptr};

class UpdateStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        setMessageBox(&box);
    }
    void TearDown() override {
        setMessageBox(nullptr);
        qunsetenv("VELTRA_UPDATE_URL");
        qunsetenv("VELTRA_UPDATE_CA");
        // The servers' threads end before the application object does.
        silent.reset();
        server.reset();
        app.reset();
    }
    // Starts the program as main() does, with the simulated reader as the stored interface.
    void start(const HttpsTestServer& lists, bool automatic) {
        qputenv("VELTRA_UPDATE_URL", (lists.origin() + "/rfid/software/").toLocal8Bit());
        qputenv("VELTRA_UPDATE_CA", HttpsTestServer::caFile().toLocal8Bit());
        QSettings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"))
            .setValue(QStringLiteral("Update/Version"), automatic ? 1 : 0);
        CommandLine line;
        line.port = QString::fromStdString(sim.port());
        EXPECT_TRUE(app->initInstance(line));
    }
    // Whether the about box comes up within `ms`; it is closed again. Looked for from a timer,
    // since the box runs its own event loop.
    static bool aboutBoxOpens(int ms) {
        bool opened = false;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&opened] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                opened = true;
                about->accept();
            }
        });
        look.start(20);
        return QTest::qWaitFor([&opened] { return opened; }, ms);
    }

    QTemporaryDir dir;
    ScriptedMessageBox box;
    SimProcess sim{{"--type", "244", "--version", "5"}}; // firmware 1.05
    // The servers need the application object's event handling.
    std::unique_ptr<CVeltraApp> app = std::make_unique<CVeltraApp>(argc, argv);
    std::unique_ptr<HttpsTestServer> server = std::make_unique<HttpsTestServer>();
    std::unique_ptr<HttpsTestServer> silent =
        std::make_unique<HttpsTestServer>(HttpsTestServer::Mode::Silent);
};

QByteArray programList(const char* version) {
    return QByteArray("[Quarnel-Veltra]\nVersion=") + version + "\nBuild=2000-01-01\n";
}

QByteArray deviceList(const char* version) {
    return QByteArray("[Alias]\n244=LF-R\n[LF-R]\nVersion=") + version + "\n";
}

TEST_F(UpdateStartupTest, NewerProgramOpensTheAboutBox) {
    server->serve(kProgramList, {200, programList("99.0")});
    server->serve(kDeviceList, {200, deviceList("1.05")});
    start(*server, true);
    EXPECT_TRUE(aboutBoxOpens(10000));
}

TEST_F(UpdateStartupTest, OlderFirmwareOpensTheAboutBox) {
    server->serve(kProgramList, {200, programList("0.1")});
    server->serve(kDeviceList, {200, deviceList("1.06")});
    start(*server, true);
    EXPECT_TRUE(aboutBoxOpens(10000));
    EXPECT_EQ(app->deviceUpdateCheck().modelName(),
              app->mainFrame()->lastDeviceIdentity().modelName);
    EXPECT_EQ(app->deviceUpdateCheck().localVersion(), QStringLiteral("1.05"));
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(UpdateStartupTest, AutomaticCheckOffLooksAtNothing) {
    server->serve(kProgramList, {200, programList("99.0")});
    server->serve(kDeviceList, {200, deviceList("9.99")});
    start(*server, false);
    EXPECT_FALSE(aboutBoxOpens(2500));
    EXPECT_EQ(server->requests(kProgramList), 0);
    // The reader list is fetched all the same, for an about box opened by hand.
    EXPECT_EQ(server->requests(kDeviceList), 1);
}

TEST_F(UpdateStartupTest, ServerThatNeverAnswersDoesNotHoldUpTheStart) {
    QElapsedTimer timer;
    timer.start();
    start(*silent, true);
    EXPECT_LT(timer.elapsed(), 8000);
    // Window shown and the reader identified while both lists are still on their way.
    EXPECT_TRUE(app->mainFrame()->isVisible());
    EXPECT_TRUE(app->mainFrame()->windowTitle().contains(QString::fromStdString(sim.port())));
    EXPECT_EQ(app->mainFrame()->lastDeviceIdentity().firmware, QStringLiteral("1.05"));
    EXPECT_FALSE(app->deviceUpdateCheck().listArrived());
    EXPECT_FALSE(app->programUpdateCheck().listArrived());
    EXPECT_FALSE(aboutBoxOpens(1000));
}

} // namespace
} // namespace veltra::test
