// The about box with real widgets, opened from the main window against the local HTTPS server:
// its lines before and after the list arrives, links, the stored switch, and an update line that
// downloads, checks and starts an installer and then ends the program.
#include "tests/app/AppTestSupport.h"
#include "tests/support/HttpsTestServer.h"

#include "app/MainFrame.h"
#include "resources/strings/StringTable.h"
#include "update/MakerInfo.h"
#include "update/ui/CAboutDlg.h"
#include "update/ui/CBitmapStatic.h"
#include "update/ui/CLabel.h"
#include "update/workflow/CUpdateCheck.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QFile>
#include <QPainter>
#include <QTest>
#include <QUrl>

namespace veltra::test {
namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

class AboutBoxTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qputenv("TMPDIR", tempPath().toLocal8Bit()); // where installers are downloaded
        source.baseUrl = server.origin() + QStringLiteral("/rfid/software/");
        source.caFile = HttpsTestServer::caFile();
    }
    void TearDown() override {
        qunsetenv("TMPDIR");
        AppTest::TearDown();
    }
    void serveLists(const QByteArray& installerSha, int delayMs) {
        const QByteArray installer = (server.origin() + "/rfid/software/setup.run").toLatin1();
        server.serve("/rfid/software/setup.run", {200, script});
        server.serve("/rfid/software/RFIDVersionsLF.txt",
                     {200,
                      "[Quarnel-Veltra]\nVersion=9.01\nBuild=2030-01-01\nInstaller=" + installer +
                          "\nSha256=" + installerSha + "\n",
                      {},
                      -1,
                      delayMs});
        server.serve(
            "/rfid/software/RFIDDeviceVersions.txt",
            {200, "[Alias]\n029=LF-R\n[LF-R]\nVersion=1.08\nInstaller=" + installer + "\n"});
    }
    // Opens the about box from the window's command and runs `inside` while it is shown.
    void withAboutBox(CMainFrame& frame, const std::function<void(CAboutDlg&)>& inside) {
        bool ran = false;
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CAboutDlg*>(modal);
            ASSERT_NE(dialog, nullptr);
            ran = true;
            inside(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        frame.action(command::About)->trigger();
        EXPECT_TRUE(ran);
    }
    CMainFrame::Options options() {
        CMainFrame::Options o;
        o.connectOnFirstShow = false;
        o.programUpdateCheck = program.get();
        o.deviceUpdateCheck = device.get();
        return o;
    }

    const QByteArray script = "#!/bin/sh\necho ran > \"$(dirname \"$0\")/../ran\"\n";
    HttpsTestServer server;
    UpdateSource source;
    std::unique_ptr<CUpdateCheck> program;
    std::unique_ptr<CUpdateCheck> device;
    FixedPorts ports;
};

TEST_F(AboutBoxTest, LinesWaitForTheListLinksOpenAndEscapeStoresTheSwitch) {
    serveLists({}, 800);
    program = CUpdateCheck::forProgram(source);
    device = CUpdateCheck::forDevice(source);
    device->setDeviceIdentity("QN-R29", "COM", "029", "1.05");
    device->StartDownload(nullptr, 0);
    AppSettings settings;
    CMainFrame frame(settings, ports, options());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");

    withAboutBox(frame, [&](CAboutDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über Quarnel Veltra"));
        EXPECT_EQ(dialog.titleLine()->text(), "Quarnel Veltra V " + program->programVersion() +
                                                  " (" + program->programBuild() + ")");
        EXPECT_EQ(dialog.libraryLine()->text(), QStringLiteral("SDK Version 4.41"));
        EXPECT_FALSE(dialog.logo()->pixmap().isNull());
        EXPECT_TRUE(dialog.logo()->isTransparent());
        // Until the list is there: the captions, grey and italic.
        EXPECT_EQ(dialog.programLine()->text(), QStringLiteral("Nach Update suchen"));
        EXPECT_EQ(dialog.deviceLine()->text(), QStringLiteral("Gerät"));
        for (CLabel* line : {dialog.programLine(), dialog.deviceLine()}) {
            EXPECT_EQ(line->textColor(), QColor(CAboutDlg::kQuietColour));
            EXPECT_TRUE(line->font().italic());
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return dialog.programLine()->text() != "Nach Update suchen"; }, 10000));
        EXPECT_EQ(dialog.programLine()->text(), "Update Quarnel Veltra => V 9.01 (2030-01-01)");
        EXPECT_EQ(dialog.deviceLine()->text(), QStringLiteral("Update QN-R29 V1.05 => V1.08"));
        for (CLabel* line : {dialog.programLine(), dialog.deviceLine()}) {
            EXPECT_EQ(line->textColor(), QColor(CAboutDlg::kUpdateColour));
            EXPECT_EQ(line->cursor().shape(), Qt::PointingHandCursor);
        }
        for (CLabel* link : {dialog.webLink(), dialog.mailLink()}) {
            EXPECT_EQ(link->textColor(), QColor(CAboutDlg::kLinkColour));
            EXPECT_TRUE(link->font().underline());
            QTest::mouseClick(link, Qt::LeftButton);
        }
        dialog.automaticCheckBox()->setChecked(false);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
    EXPECT_EQ(catcher.urls,
              (std::vector<QUrl>{QUrl(makerInfo().web), QUrl("mailto:" + makerInfo().mail)}));
    EXPECT_EQ(stored("Update/Version").toInt(), 0);
    EXPECT_FALSE(settings.automaticUpdateCheck());
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(AboutBoxTest, ClickedUpdateLineInstallsACheckedInstallerAndEndsTheProgram) {
    const QByteArray sha = QCryptographicHash::hash(script, QCryptographicHash::Sha256).toHex();
    for (const bool intact : {false, true}) {
        box.shown.clear();
        serveLists(intact ? sha : QByteArray(64, '0'), 0);
        program = CUpdateCheck::forProgram(source);
        device = CUpdateCheck::forDevice(source);
        AppSettings settings;
        CMainFrame frame(settings, ports, options());
        frame.show();
        withAboutBox(frame, [&](CAboutDlg& dialog) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return dialog.programLine()->cursor().shape() == Qt::PointingHandCursor; },
                10000));
            const QString text = dialog.programLine()->text();
            QTest::mouseClick(dialog.programLine(), Qt::LeftButton);
            EXPECT_EQ(dialog.isVisible(), !intact);
            EXPECT_EQ(dialog.programLine()->text(), text) << "the line comes back";
        });
        if (intact) {
            EXPECT_TRUE(box.shown.empty());
            EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(tempPath() + "/ran"); }, 5000));
            EXPECT_TRUE(QTest::qWaitFor([&] { return !frame.isVisible(); }, 2000));
        } else {
            ASSERT_EQ(box.shown.size(), 1u);
            EXPECT_EQ(
                box.shown[0],
                strf(10136, (server.origin() + "/rfid/software/setup.run").toUtf8().constData()));
            EXPECT_FALSE(QFile::exists(tempPath() + "/ran"));
            QTest::qWait(100);
            EXPECT_TRUE(frame.isVisible());
        }
    }
}

TEST_F(AboutBoxTest, LogoLetsTheBackgroundShowThroughItsWhite) {
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(10, 0, 10, 10, Qt::blue);
    CBitmapStatic logo;
    logo.setBitmap(QPixmap::fromImage(picture));
    QPalette palette = logo.palette();
    palette.setColor(QPalette::Window, Qt::green);
    logo.setPalette(palette);
    logo.setAutoFillBackground(true);
    logo.resize(20, 10);
    for (const bool transparent : {false, true}) {
        logo.setTransparent(transparent);
        const QImage shown = logo.grab().toImage();
        EXPECT_EQ(QColor(shown.pixel(2, 5)), transparent ? QColor(Qt::green) : QColor(Qt::white));
        EXPECT_EQ(QColor(shown.pixel(15, 5)), QColor(Qt::blue));
    }
}

} // namespace
} // namespace veltra::test

#include "AboutBoxTest.moc"
