// The update check against a local HTTPS server with a certificate authority made for the test
// run: list downloads and what the lines make of them, the reader's alias and variant rules, the
// installer's download, checksum and start.
#include "tests/app/AppTestSupport.h"
#include "tests/support/HttpsTestServer.h"

#include "resources/strings/StringTable.h"
#include "update/workflow/CUpdateCheck.h"
#include "update/workflow/UpdateLine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace veltra::test {
namespace {

using Response = HttpsTestServer::Response;
using State = UpdateLine::State;

class Recorder : public QObject {
public:
    std::vector<int> ids;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == UpdateListEvent::eventType()) {
            ids.push_back(static_cast<UpdateListEvent*>(event)->id());
        }
    }
};

class UpdateCheckTest : public AppTest {
protected:
    UpdateSource source(const QString& folder, bool trusted = true) const {
        UpdateSource s;
        s.baseUrl = server.origin() + folder;
        s.caFile = trusted ? HttpsTestServer::caFile() : QString();
        return s;
    }
    static std::unique_ptr<CUpdateCheck> program(const UpdateSource& s) {
        auto check = std::make_unique<CUpdateCheck>(QString::fromLatin1(CUpdateCheck::kProgramList),
                                                    QStringLiteral("Quarnel-Veltra"), s);
        check->setProgramVersion(QStringLiteral("1.10"), QStringLiteral("2025-06-01"));
        return check;
    }
    static void download(CUpdateCheck& check) {
        ASSERT_TRUE(check.StartDownload(nullptr, 0));
        ASSERT_TRUE(check.waitForList(20000));
    }

    HttpsTestServer server;
    HttpsTestServer plain{HttpsTestServer::Mode::Plain};
};

TEST_F(UpdateCheckTest, ProgramLineSaysWhatTheServerGave) {
    const QByteArray newer = "[Quarnel-Veltra]\r\nVersion=1.11\r\nBuild=2025-01-01\r\n";
    enum class Base { Server, Untrusted, Plain, Nowhere };
    struct Case {
        const char* name;
        Response response;
        Base base;
        State state;
    };
    const Case cases[] = {
        {"newer", {200, newer}, Base::Server, State::Newer},
        {"current",
         {200, "[Quarnel-Veltra]\nVersion=1.10\nBuild=2025-01-01\n"},
         Base::Server,
         State::Current},
        {"no build", {200, "[Quarnel-Veltra]\nVersion=1.11\n"}, Base::Server, State::NoEntries},
        {"other product",
         {200, "[Other]\nVersion=1.11\nBuild=x\n"},
         Base::Server,
         State::NoEntries},
        {"html", {200, "<html><body>Anmeldung</body></html>"}, Base::Server, State::NoList},
        {"missing", {404, newer}, Base::Server, State::NoList},
        {"truncated", {200, newer.left(30), {}, newer.size()}, Base::Server, State::NoList},
        {"too large", {200, QByteArray(2 * 1024 * 1024, 'x')}, Base::Server, State::NoList},
        {"untrusted", {200, newer}, Base::Untrusted, State::NoList},
        {"plain http", {200, newer}, Base::Plain, State::NoList},
        {"redirect to http", {302, {}, "PLAIN"}, Base::Server, State::NoList},
        {"redirect to https", {301, {}, "TLS"}, Base::Server, State::Newer},
        {"no server", {}, Base::Nowhere, State::NoList},
    };
    server.serve(QStringLiteral("/moved/RFIDVersionsLF.txt"), {200, newer});
    plain.serve(QStringLiteral("/moved/RFIDVersionsLF.txt"), {200, newer});
    // All downloads run at once; each failed one pauses a second before it ends.
    std::vector<std::unique_ptr<CUpdateCheck>> checks;
    int n = 0;
    for (const Case& c : cases) {
        const QString folder = QStringLiteral("/c%1/").arg(n++);
        const QString path = folder + QStringLiteral("RFIDVersionsLF.txt");
        Response response = c.response;
        if (response.location == "PLAIN") {
            response.location = (plain.origin() + "/moved/RFIDVersionsLF.txt").toLatin1();
        } else if (response.location == "TLS") {
            response.location = (server.origin() + "/moved/RFIDVersionsLF.txt").toLatin1();
        }
        server.serve(path, response);
        plain.serve(path, response);
        UpdateSource s = source(folder, c.base != Base::Untrusted);
        if (c.base == Base::Plain) {
            s.baseUrl = plain.origin() + folder;
        } else if (c.base == Base::Nowhere) {
            s.baseUrl = QStringLiteral("https://127.0.0.1:1/");
        }
        checks.push_back(program(s));
        checks.back()->StartDownload(nullptr, 0);
    }
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const Case& c = cases[i];
        ASSERT_TRUE(checks[i]->waitForList(20000)) << c.name;
        const UpdateLine line = programUpdateLine(*checks[i]);
        EXPECT_EQ(line.state, c.state) << c.name;
        EXPECT_EQ(line.clickable(), c.state == State::Newer) << c.name;
        if (c.state == State::NoList) {
            EXPECT_EQ(line.text, str(602)) << c.name;
        }
    }
    // Nothing ever went out without TLS.
    EXPECT_EQ(plain.requests(QStringLiteral("/c9/RFIDVersionsLF.txt")), 0);
    EXPECT_EQ(plain.requests(QStringLiteral("/moved/RFIDVersionsLF.txt")), 0);
    const auto check = program(source(QStringLiteral("/c0/")));
    download(*check);
    EXPECT_EQ(programUpdateLine(*check).text,
              QStringLiteral("Update Quarnel Veltra => V 1.11 (2025-01-01)"));
}

TEST_F(UpdateCheckTest, ReaderFindsItsFamilyThroughTheAliasAndItsVariant) {
    struct Case {
        const char* exclude;
        const char* type;
        const char* kind;
        const char* line; // nullptr: nothing newer
        const char* installer;
    };
    const Case cases[] = {
        {"1.02-1.06", "029", "USB", nullptr, "https://x/lf-r.run"},
        {"1.06-1.07", "029", "USB", "Update QN-R29 V1.05 => V1.08", "https://x/lf-r-usb.run"},
        {"1.06-1.07", "029", "COM", nullptr, "https://x/lf-r.run"},
        {"", "044", "USB", nullptr, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString folder = QStringLiteral("/d%1/").arg(n++);
        server.serve(folder + QStringLiteral("RFIDDeviceVersions.txt"),
                     {200, QByteArray("[Alias]\n029=LF-R\n[LF-R]\nVersion=1.03\nInstaller="
                                      "https://x/lf-r.run\n[LF-R-USB]\nVersion=1.08\nExclude=") +
                               c.exclude + "\nInstaller=https://x/lf-r-usb.run\n"});
        const auto check = CUpdateCheck::forDevice(source(folder));
        check->setDeviceIdentity(QStringLiteral("QN-R29"), QString::fromLatin1(c.kind),
                                 QString::fromLatin1(c.type), QStringLiteral("1.05"));
        download(*check);
        const UpdateLine line = deviceUpdateLine(*check);
        if (c.line != nullptr) {
            EXPECT_EQ(line.state, State::Newer) << c.exclude;
            EXPECT_EQ(line.text, QString::fromLatin1(c.line));
        } else {
            EXPECT_EQ(line.state, State::Current) << c.exclude << c.kind;
            EXPECT_EQ(line.text, QStringLiteral("QN-R29 V1.05 ") + str(601));
        }
        EXPECT_EQ(check->ListedInstaller(), QString::fromLatin1(c.installer))
            << c.exclude << c.kind;
    }
    // No reader yet: an empty line; a list still on its way: given up after half a second.
    EXPECT_EQ(deviceUpdateLine(*CUpdateCheck::forDevice(source("/d0/"))).state, State::Empty);
    HttpsTestServer silent(HttpsTestServer::Mode::Silent);
    UpdateSource s = source("/");
    s.baseUrl = silent.origin() + QStringLiteral("/");
    const auto waiting = CUpdateCheck::forDevice(s);
    waiting->setDeviceIdentity("QN-R29", "USB", "029", "1.05");
    waiting->StartDownload(nullptr, 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(waiting->ResolveAlias());
    EXPECT_LT(timer.elapsed(), 1500);
}

TEST_F(UpdateCheckTest, ListArrivalIsReportedAndAStalledDownloadDoesNotHoldTheExit) {
    server.serve("/n/RFIDVersionsLF.txt",
                 {200, "[Quarnel-Veltra]\nVersion=1.0\nBuild=1\n", {}, -1, 300});
    const auto check = program(source("/n/"));
    Recorder first;
    Recorder second;
    check->StartDownload(&first, 1034);
    EXPECT_TRUE(first.ids.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first.ids.empty(); }, 10000));
    EXPECT_EQ(first.ids, std::vector<int>{1034});
    // Later callers are told at once; the list is not fetched again.
    check->StartDownload(&second, 1034);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(second.ids, std::vector<int>{1034});
    EXPECT_EQ(first.ids.size(), 1u);
    EXPECT_EQ(server.requests("/n/RFIDVersionsLF.txt"), 1);

    HttpsTestServer silent(HttpsTestServer::Mode::Silent);
    UpdateSource s;
    s.baseUrl = silent.origin() + QStringLiteral("/");
    QElapsedTimer timer;
    timer.start();
    {
        const auto stalled = program(s);
        stalled->StartDownload(nullptr, 0);
        EXPECT_FALSE(stalled->waitForList(300));
    }
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(UpdateCheckTest, InstallerArrivesWholeAndCheckedOrNotAtAll) {
    const QByteArray body = "#!/bin/sh\necho ran > \"$(dirname \"$0\")/../ran\"\n";
    const QByteArray sha = QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
    struct Case {
        const char* name;
        QByteArray installer;
        QByteArray sha256;
        qint64 announced;
        bool arrives;
    };
    const Case cases[] = {
        {"checked", "PATH/setup.run", sha.toUpper(), -1, true},
        {"unchecked", "PATH/setup.run", {}, -1, true},
        {"wrong checksum", "PATH/setup.run", QByteArray(64, 'a'), -1, false},
        {"truncated", "PATH/setup.run", {}, body.size() + 100, false},
        {"plain http", "http://localhost:1/setup.run", {}, -1, false},
        {"not listed", "", {}, -1, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString folder = QStringLiteral("/i%1/").arg(n);
        const QString target = tempPath() + QStringLiteral("/target%1").arg(n++);
        QDir().mkpath(target);
        QByteArray installer = c.installer;
        installer.replace("PATH", (server.origin() + folder.chopped(1)).toLatin1());
        server.serve(folder + "setup.run", {200, body, {}, c.announced});
        server.serve(folder + "RFIDVersionsLF.txt",
                     {200, "[Quarnel-Veltra]\nVersion=9.0\nBuild=x\nInstaller=" + installer +
                               "\nSha256=" + c.sha256 + "\n"});
        const auto check = program(source(folder));
        download(*check);
        const QString path = check->DownloadInstaller(target);
        EXPECT_EQ(!path.isEmpty(), c.arrives) << c.name << ' ' << check->lastError().toStdString();
        if (!c.arrives) {
            EXPECT_TRUE(QDir(target).isEmpty()) << c.name << ": nothing may be left behind";
            continue;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), body);
        EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("setup.run"));
        struct stat st {};
        ASSERT_EQ(::stat(QFileInfo(path).absolutePath().toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << "a folder only this user can enter";
    }
}

TEST_F(UpdateCheckTest, InstallerStartsAsProgramOrThroughTheDesktop) {
    const QByteArray script = "#!/bin/sh\necho ran > \"$(dirname \"$0\")/../ran\"\n";
    server.serve("/s/setup.run", {200, script});
    server.serve("/s/RFIDVersionsLF.txt",
                 {200, "[Quarnel-Veltra]\nVersion=9.0\nBuild=x\nInstaller=" +
                           (server.origin() + "/s/setup.run").toLatin1() + "\n"});
    const auto check = program(source("/s/"));
    std::vector<QUrl> opened;
    check->setDesktopOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    download(*check);
    const QString run = check->DownloadInstaller(tempPath());
    ASSERT_FALSE(run.isEmpty());
    // (A program that starts is shown by the about box's test.) A package goes to the desktop's
    // package installer.
    const QString deb = QFileInfo(run).absolutePath() + "/setup.deb";
    QFile::copy(run, deb);
    EXPECT_TRUE(check->StartInstaller(deb));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(deb));

    EXPECT_FALSE(check->StartInstaller(tempPath() + "/gone.run"));
    EXPECT_EQ(check->lastError(),
              QStringLiteral("The File\n\"%1\"\ndoes not exist!").arg(tempPath() + "/gone.run"));
    // A folder that others may write to is no place to start anything from.
    ::chmod(QFileInfo(run).absolutePath().toLocal8Bit().constData(), 0777);
    EXPECT_FALSE(check->StartInstaller(run));
    EXPECT_TRUE(check->lastError().contains("can not be started!"));
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(tempPath() + "/ran"));
}

} // namespace
} // namespace veltra::test
