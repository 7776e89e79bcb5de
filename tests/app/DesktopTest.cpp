// The program's ties to the desktop: the window disabled while a reader answers, the manual
// found in the program folder, and the keyboard lock indicators read from the kernel's LEDs.
#include "tests/app/AppTestSupport.h"

#include "app/DeviceMonitor.h"
#include "app/HelpManual.h"
#include "app/KeyLockIndicators.h"
#include "app/VeltraView.h"
#include "resources/strings/StringTable.h"
#include "widgets/WaitIndicator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWidget>

namespace veltra::test {
namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class DesktopTest : public AppTest {};

TEST_F(DesktopTest, ActiveWindowIsDisabledForTheWaitAndRestoredAfterwards) {
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    struct Step {
        int phase;
        bool enabledAfter;
    };
    // A wait nested in another (a reply awaited while the first is still open) leaves the
    // window to the outer one.
    const Step steps[] = {
        {ReaderLink::kWaitBegin, false},    {ReaderLink::kWaitProgress, false},
        {ReaderLink::kWaitBegin, false},    {ReaderLink::kWaitEnd, false},
        {ReaderLink::kWaitProgress, false}, {ReaderLink::kWaitEnd, true},
        {ReaderLink::kWaitEnd, true}, // an unmatched end changes nothing
    };
    int index = 0;
    for (const Step& s : steps) {
        handleReaderWait(s.phase);
        EXPECT_EQ(window.isEnabled(), s.enabledAfter) << "step " << index;
        ++index;
    }
}

TEST_F(DesktopTest, WindowDisabledByTheProgramStaysDisabled) {
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.setEnabled(false);
    handleReaderWait(ReaderLink::kWaitBegin);
    handleReaderWait(ReaderLink::kWaitEnd);
    EXPECT_FALSE(window.isEnabled());
}

TEST_F(DesktopTest, BackgroundFitsTheDisplaysPixelRatio) {
    struct Case {
        qreal ratio;
        int pixelWidth;
    };
    const Case cases[] = {{1.0, 720}, {1.5, 1440}, {2.0, 1440}};
    for (const Case& c : cases) {
        const QImage picture = loadBackgroundPicture(c.ratio);
        ASSERT_FALSE(picture.isNull()) << c.ratio;
        EXPECT_EQ(picture.width(), c.pixelWidth) << c.ratio;
        // Whatever the resolution, the picture covers the same 720 x 450 of the window.
        EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(720, 450)) << c.ratio;
        CVeltraView view(picture);
        EXPECT_TRUE(view.isValid());
        EXPECT_EQ(view.sizeHint(),
                  (QSize(qRound(720 * view.dpiScale()), qRound(450 * view.dpiScale()))));
    }
    // Without its picture the view, and with it the program, does not start.
    EXPECT_FALSE(CVeltraView(QImage()).isValid());
}

TEST_F(DesktopTest, DeviceEventsReachTheMonitor) {
    // The kernel repeats a device's event when its uevent file is written (needs root).
    const QString uevent = QStringLiteral("/sys/class/tty/ttyS0/uevent");
    QFile probe(uevent);
    if (!probe.open(QIODevice::WriteOnly)) {
        GTEST_SKIP() << "cannot trigger device events here";
    }
    probe.close();
    DeviceMonitor monitor;
    ASSERT_TRUE(monitor.isActive());
    struct Case {
        const char* action;
        int code;
    };
    const Case cases[] = {{"change", kDeviceNodesChanged}, {"add", kDeviceArrival}};
    for (const Case& c : cases) {
        QSignalSpy spy(&monitor, &DeviceMonitor::deviceChanged);
        QFile trigger(uevent);
        ASSERT_TRUE(trigger.open(QIODevice::WriteOnly));
        trigger.write(c.action);
        trigger.close();
        ASSERT_TRUE(spy.wait(3000)) << c.action;
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), c.code) << c.action;
        QTest::qWait(100);
    }
}

TEST_F(DesktopTest, ManualIsFoundBesideTheProgramOrInItsInstalledFolder) {
    // Files below a folder whose bin/ is the program's folder; the manual as found for German
    // and for English.
    struct Case {
        std::vector<const char*> files;
        const char* german; // nullptr: none
        const char* english;
    };
    const Case cases[] = {
        {{"bin/readme.txt"}, nullptr, nullptr},
        {{"bin/Handbuch Quarnel.pdf"}, "bin/Handbuch Quarnel.pdf", "bin/Handbuch Quarnel.pdf"},
        {{"bin/b.pdf", "bin/a.pdf", "bin/c.txt"}, "bin/a.pdf", "bin/a.pdf"},
        {{"bin/MANUAL.PDF"}, "bin/MANUAL.PDF", "bin/MANUAL.PDF"},
        {{"bin/x.pdf.bak"}, nullptr, nullptr},
        // Installed: /usr/bin holds no documents.
        {{"share/doc/quarnel-veltra/Quarnel-Veltra-Handbuch.pdf",
          "share/doc/quarnel-veltra/Quarnel-Veltra-Manual-en.pdf"},
         "share/doc/quarnel-veltra/Quarnel-Veltra-Handbuch.pdf",
         "share/doc/quarnel-veltra/Quarnel-Veltra-Manual-en.pdf"},
        {{"share/quarnel-veltra/Anleitung.pdf", "share/doc/quarnel-veltra/Other-en.pdf"},
         "share/quarnel-veltra/Anleitung.pdf",
         "share/quarnel-veltra/Anleitung.pdf"},
        // A manual beside the program comes first.
        {{"bin/Eigenes.pdf", "share/doc/quarnel-veltra/Quarnel-Veltra-Handbuch.pdf"},
         "bin/Eigenes.pdf",
         "bin/Eigenes.pdf"},
        {{"share/doc/quarnel-veltra/Only-en.pdf"},
         "share/doc/quarnel-veltra/Only-en.pdf",
         "share/doc/quarnel-veltra/Only-en.pdf"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString root = tempPath() + QStringLiteral("/install%1").arg(n++);
        QDir().mkpath(root + QStringLiteral("/bin"));
        for (const char* file : c.files) {
            const QString path = root + QLatin1Char('/') + QString::fromUtf8(file);
            QDir().mkpath(QFileInfo(path).path());
            writeFile(path, "%PDF-1.4\n");
        }
        const auto expected = [&root](const char* file) {
            return file == nullptr ? QString() : root + QLatin1Char('/') + QString::fromUtf8(file);
        };
        const QString program = root + QStringLiteral("/bin");
        EXPECT_EQ(findManual(program, false), expected(c.german)) << (c.german ? c.german : "-");
        EXPECT_EQ(findManual(program, true), expected(c.english)) << (c.english ? c.english : "-");
    }
}

TEST_F(DesktopTest, HelpOpensTheManualOrSaysWhyItCannot) {
    const QString folder = tempPath() + QStringLiteral("/program");
    QDir().mkpath(folder);
    int opened = 0;
    QUrl seen;
    auto opener = [&](bool result) {
        return [&, result](const QUrl& url) {
            ++opened;
            seen = url;
            return result;
        };
    };
    // No manual: nothing happens.
    openManual(nullptr, folder, false, opener(true));
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(box.shown.empty());

    writeFile(folder + QStringLiteral("/Anleitung.pdf"), "%PDF-1.4\n");
    openManual(nullptr, folder, false, opener(true));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(seen, QUrl::fromLocalFile(folder + QStringLiteral("/Anleitung.pdf")));
    EXPECT_TRUE(box.shown.empty());

    openManual(nullptr, folder, false, opener(false));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0], str(10001));
}

TEST_F(DesktopTest, LockIndicatorsFollowTheKeyboardLeds) {
    const QString leds = tempPath() + QStringLiteral("/leds");
    struct Led {
        const char* name;
        const char* brightness;
    };
    const Led present[] = {
        {"input3::capslock", "1\n"},   {"input3::numlock", "0\n"},
        {"input3::scrolllock", "0\n"}, {"input7::numlock", "1\n"}, // a second keyboard
        {"phy0-led", "1\n"},           {"input9::scrolllock", "garbage"},
    };
    for (const Led& led : present) {
        writeFile(leds + QLatin1Char('/') + QString::fromLatin1(led.name) +
                      QStringLiteral("/brightness"),
                  led.brightness);
    }
    EXPECT_TRUE(lockKeyActive(leds, LockKey::Caps));
    EXPECT_TRUE(lockKeyActive(leds, LockKey::Num));
    EXPECT_FALSE(lockKeyActive(leds, LockKey::Scroll));
    EXPECT_FALSE(lockKeyActive(tempPath() + QStringLiteral("/none"), LockKey::Caps));

    KeyLockIndicators indicators(nullptr, leds);
    EXPECT_TRUE(indicators.shown(LockKey::Caps));
    EXPECT_FALSE(indicators.shown(LockKey::Scroll));
    writeFile(leds + QStringLiteral("/input3::capslock/brightness"), "0\n");
    writeFile(leds + QStringLiteral("/input7::numlock/brightness"), "0\n");
    indicators.refresh();
    EXPECT_FALSE(indicators.shown(LockKey::Caps));
    EXPECT_FALSE(indicators.shown(LockKey::Num));
}

} // namespace
} // namespace veltra::test
