// The function test against the simulator in reader mode: telegrams on screen, the prompt,
// relay and buzzer bytes on the wire, and the reader's mode before and after.

#include "app/CFunktionTestDlg.h"
#include "config/ui/SheetServices.h"
#include "resources/strings/StringTable.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/FakeReaderLink.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <string>
#include <vector>

namespace veltra::test {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Runs the event loop until `done` holds or the time is up; whether it held.
template <typename Predicate>
bool waitUntil(Predicate done, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// ---- Telegram splitting --------------------------------------------------------------------

TEST(TelegramLineTest, PausesLongerThanTheGapStartANewTelegram) {
    struct Piece {
        std::string bytes;
        std::int64_t atMs;
    };
    struct Case {
        const char* name;
        std::vector<Piece> pieces;
        int count;
        QString ascii;
        QString hex;
    };
    const Case cases[] = {
        {"one piece", {{"AB", 100}}, 1, "A   B   ", "41 42 "},
        {"pieces within the gap",
         {{"AB", 100}, {"C", 150}, {"\r\n", 220}},
         1,
         "A   B   C   \r   \n   ",
         "41 42 43 0D 0A "},
        {"exactly the gap continues", {{"A", 100}, {"B", 170}}, 1, "A   B   ", "41 42 "},
        {"one past the gap starts anew", {{"A", 100}, {"B", 171}}, 2, "B   ", "42 "},
        {"gap counted from the last byte",
         {{"A", 100}, {"B", 160}, {"C", 220}, {"D", 300}},
         2,
         "D   ",
         "44 "},
        {"first bytes right after opening", {{"A", 10}, {"B", 40}}, 1, "A   B   ", "41 42 "},
        {"empty pieces change nothing", {{"A", 100}, {"", 160}, {"B", 200}}, 2, "B   ", "42 "},
        {"eight-bit bytes",
         {{std::string("\xE4\x7F\x00", 3), 100}},
         1,
         QString::fromUtf8("\xC3\xA4   \x7F   ") + QChar(0) + QStringLiteral("   "),
         "E4 7F 00 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelegramLine line(0);
        for (const Piece& p : c.pieces) {
            line.receive(
                std::span(reinterpret_cast<const std::uint8_t*>(p.bytes.data()), p.bytes.size()),
                p.atMs);
        }
        EXPECT_EQ(line.count(), c.count);
        EXPECT_EQ(line.asciiText(), c.ascii);
        EXPECT_EQ(line.hexText(), c.hex);
    }
}

TEST(TelegramLineTest, ClearKeepsCountAndTimeAndLongStreamsKeepTheirNewestBytes) {
    TelegramLine line(0);
    const std::uint8_t ab[] = {'A', 'B'};
    line.receive(ab, 100);
    line.clear();
    EXPECT_EQ(line.asciiText(), QString());
    // Still the same telegram: clearing does not move the time of the last byte.
    line.receive(std::span(ab, 1), 160);
    EXPECT_EQ(line.count(), 1);
    EXPECT_EQ(line.hexText(), "41 ");

    // A reader that never pauses: the text stays bounded and ends with the latest byte.
    std::vector<std::uint8_t> chunk(255, 'x');
    std::int64_t now = 160;
    for (int i = 0; i < 40; ++i) {
        chunk.back() = static_cast<std::uint8_t>('0' + i % 10);
        line.receive(chunk, now += 50);
    }
    EXPECT_EQ(line.count(), 1);
    EXPECT_EQ(line.hexText().size(), static_cast<qsizetype>(TelegramLine::kMaxBytes * 3));
    EXPECT_TRUE(line.hexText().endsWith("39 "));
}

TEST(FunctionTestRulesTest, PromptAndModeChoices) {
    const std::pair<int, int> prompts[] = {{0x0D, 0x3F}, {0x00, 0x3F}, {0x1F, 0x3F},
                                           {0x20, 0x20}, {0x3F, 0x3F}, {0xA5, 0xA5}};
    for (const auto& [in, out] : prompts) {
        EXPECT_EQ(promptForTest(static_cast<std::uint8_t>(in)), out) << in;
    }
    // Stored power-on mode -> mode for the test: the programming mode would keep the reader
    // silent, so it becomes reader mode.
    const std::pair<int, int> modes[] = {{-1, 1}, {0, 1}, {1, 1}, {3, 3}, {4, 1}, {7, 3}};
    for (const auto& [in, out] : modes) {
        EXPECT_EQ(testModeFor(in), out) << in;
    }
}

// ---- Against the simulator -----------------------------------------------------------------

class FunctionTestDialog : public AppTest {
protected:
    void useReader(const SimProcess& sim, int baud = 19200) {
        store(QStringLiteral("Port/Name"), q(sim.port()));
        store(QStringLiteral("Port/Baudrate"), baud);
    }

    // A state file for the simulator with the given lines.
    std::string stateFile(const std::vector<std::string>& lines) {
        const std::string path = tempPath().toStdString() + "/reader.txt";
        std::ofstream out(path);
        for (const std::string& line : lines) {
            out << line << '\n';
        }
        return path;
    }

    QWidget window;
    FixedPorts ports;
};

TEST_F(FunctionTestDialog, PromptedTelegramsAreShownAndCountedAndCloseEndsReaderMode) {
    SimProcess sim({"--interval", "0"});
    useReader(sim);
    AppSettings settings;
    {
        CFunktionTestDlg dialog({settings, ports, &window});
        ASSERT_TRUE(dialog.initDialog());
        dialog.show();
        EXPECT_TRUE(sim.waitFor("mode", "1"));
        EXPECT_EQ(dialog.modeEdit()->text(), "0");
        EXPECT_EQ(dialog.promptEdit()->text(), "3F ");
        EXPECT_FALSE(dialog.relayButton()->isVisible()); // type 244 has no relay output
        EXPECT_TRUE(QFontInfo(dialog.hexEdit()->font()).fixedPitch());
        EXPECT_TRUE(QFontInfo(dialog.asciiEdit()->font()).fixedPitch());
        EXPECT_EQ(dialog.minimumSize(), dialog.size());

        for (int n = 1; n <= 2; ++n) {
            QTest::qWait(100); // the previous telegram is over
            // The first prompt by button, the second by Return.
            if (n == 1) {
                QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
            } else {
                QTest::keyClick(dialog.promptEdit(), Qt::Key_Return);
            }
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.asciiEdit()->text(), QString());
            EXPECT_TRUE(waitUntil(
                [&] {
                    return dialog.hexEdit()->text() ==
                           QStringLiteral("30 34 31 35 45 33 41 32 43 37 0D 0A ");
                },
                3000));
            EXPECT_EQ(dialog.asciiEdit()->text(),
                      QStringLiteral("0   4   1   5   E   3   A   2   C   7   \r   \n   "));
            EXPECT_EQ(dialog.counterEdit()->text(), QString::number(n));
        }
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.handle(), 0);
        EXPECT_TRUE(sim.waitFor("mode", "2"));
    }
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(FunctionTestDialog, ControlPromptIsShownAs3FAndATypedPromptReachesTheReader) {
    // Block 6: operating mode 5 with the sensor bit, prompt CR. The power-on mode is the
    // programming mode, which the test must not keep.
    const std::string state =
        stateFile({"type=244", "version=K", "block6=15 0A 0D 05", "stored_mode=0"});
    SimProcess sim({"--state", state, "--interval", "0"});
    useReader(sim);
    AppSettings settings;
    CFunktionTestDlg dialog({settings, ports, &window});
    ASSERT_TRUE(dialog.initDialog());
    dialog.show();
    EXPECT_TRUE(sim.waitFor("mode", "1"));
    EXPECT_EQ(dialog.modeEdit()->text(), "5");
    EXPECT_EQ(dialog.promptCharacter(), 0x0D);
    EXPECT_EQ(dialog.promptEdit()->text(), "3F ");

    // '?' is not this reader's prompt: nothing comes back.
    QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
    QTest::qWait(300);
    EXPECT_EQ(dialog.telegram().count(), 0);

    // The technician types the reader's own prompt.
    dialog.promptEdit()->setText(QStringLiteral("0d"));
    QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return dialog.telegram().count() == 1; }, 3000));

    // Nothing is sent while the field is empty.
    dialog.promptEdit()->clear();
    EXPECT_FALSE(dialog.sendButton()->isEnabled());
    dialog.reject();
    EXPECT_TRUE(sim.waitFor("mode", "2"));
}

TEST_F(FunctionTestDialog, TelegramsInPiecesCountOnceAndPeriodicTelegramsEachCount) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int baud;
        QString hex;  // one whole telegram
        int minCount; // after waitMs
        int waitMs;
    };
    const std::string longTelegram(40, 'Z'); // 167 ms on a paced 2400 baud line
    const std::string bigTelegram(2000, 'A');
    const Case cases[] = {
        {"slow line, prompted",
         {"--baud", "2400", "--pace", "--interval", "0", "--telegram", longTelegram},
         2400,
         QString(QStringLiteral("5A ")).repeated(40),
         1,
         0},
        {"telegram every 300 ms",
         {"--interval", "300", "--telegram", "12\\r"},
         19200,
         QStringLiteral("31 32 0D "),
         3,
         1200},
        // More bytes per poll than one read takes: the screen must keep up, or the telegrams
        // run together.
        {"2000-byte telegram every 200 ms",
         {"--interval", "200", "--telegram", bigTelegram},
         19200,
         QString(QStringLiteral("41 ")).repeated(2000),
         5,
         1400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.args);
        useReader(sim, c.baud);
        AppSettings settings;
        CFunktionTestDlg dialog({settings, ports, &window});
        ASSERT_TRUE(dialog.initDialog());
        dialog.show();
        if (c.waitMs == 0) {
            QTest::qWait(100);
            QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
            EXPECT_TRUE(waitUntil([&] { return dialog.hexEdit()->text() == c.hex; }, 3000));
            QTest::qWait(200);
            EXPECT_EQ(dialog.telegram().count(), 1);
        } else {
            QTest::qWait(c.waitMs);
            EXPECT_GE(dialog.telegram().count(), c.minCount);
            EXPECT_TRUE(waitUntil([&] { return dialog.hexEdit()->text() == c.hex; }, 1000));
        }
        EXPECT_EQ(dialog.counterEdit()->text(), QString::number(dialog.telegram().count()));
        dialog.reject();
        EXPECT_TRUE(sim.waitFor("mode", "2"));
    }
}

TEST_F(FunctionTestDialog, RelayAndBuzzerBytesReachTheReader) {
    struct Case {
        const char* type;
        bool relay;
    };
    for (const Case c : {Case{"551", true}, Case{"244", false}}) {
        SCOPED_TRACE(c.type);
        SimProcess sim({"--type", c.type, "--interval", "0"});
        useReader(sim);
        AppSettings settings;
        CFunktionTestDlg dialog({settings, ports, &window});
        ASSERT_TRUE(dialog.initDialog());
        dialog.show();
        ASSERT_TRUE(sim.waitFor("mode", "1"));
        EXPECT_EQ(dialog.relayButton()->isVisible(), c.relay);
        if (c.relay) {
            QTest::mouseClick(dialog.relayButton(), Qt::LeftButton);
            EXPECT_TRUE(dialog.relayButton()->isChecked());
            EXPECT_TRUE(sim.waitFor("relay", "1"));
            QTest::mouseClick(dialog.relayButton(), Qt::LeftButton);
            EXPECT_TRUE(sim.waitFor("relay", "0"));
            // Left switched on, the relay is released when the dialog closes.
            QTest::mouseClick(dialog.relayButton(), Qt::LeftButton);
            EXPECT_TRUE(sim.waitFor("relay", "1"));
        }
        QTest::mouseClick(dialog.buzzerButton(), Qt::LeftButton);
        EXPECT_TRUE(sim.waitFor("buzzer_count", "1"));
        QTest::mouseClick(dialog.buzzerButton(), Qt::LeftButton);
        EXPECT_TRUE(sim.waitFor("buzzer_count", "2"));
        dialog.accept();
        EXPECT_TRUE(sim.waitFor("mode", "2"));
        EXPECT_EQ(sim.value("relay"), "0");
    }
}

TEST_F(FunctionTestDialog, EveryExchangeGoesThroughTheGivenLink) {
    store(QStringLiteral("Port/Name"), QStringLiteral("/dev/ttyS4"));
    FakeReaderLink link;
    link.identity = "551K"; // a reader with a relay output
    link.blocks[6] = {0x15, 0x0A, 0x0D, 0x05};
    link.storedMode = 0;
    link.received.push_back({'1', '2', '\r'});
    AppSettings settings;
    {
        CFunktionTestDlg dialog({settings, ports, &window, link});
        ASSERT_TRUE(dialog.initDialog());
        dialog.show();
        dialog.poll();
        EXPECT_EQ(dialog.hexEdit()->text(), QStringLiteral("31 32 0D "));
        dialog.sendButton()->click();
        dialog.relayButton()->click();
        dialog.buzzerButton()->click();
        dialog.accept(); // with the relay still switched on
    }
    const std::vector<std::string> expected{"open /dev/ttyS4:1 19200 0 300",
                                            "setMode 0",
                                            "readDeviceType 4 31",
                                            "supportsReaderMode",
                                            "read 6",
                                            "readMode",
                                            "setMode 1",
                                            "received 31 32 0D",
                                            "writeRaw 3F",
                                            "writeRaw 11",
                                            "writeRaw 07",
                                            "writeRaw 13",
                                            "setMode 2",
                                            "close 7"};
    EXPECT_EQ(link.log, expected);
}

TEST_F(FunctionTestDialog, WithoutAUsableReaderTheDialogEndsAtOnce) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> state; // lines of a state file, when not empty
        int message;                    // 0: none
    };
    const Case cases[] = {
        {"unsupported type", {"--type", "990"}, {}, 152},
        {"parameter block refused", {"--status", "05", "--fault-command", "8E"}, {}, 0},
        {"parameter block too short", {}, {"type=244", "version=K", "block6=00 0A"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        std::vector<std::string> args = c.args;
        if (!c.state.empty()) {
            args.push_back("--state");
            args.push_back(stateFile(c.state));
        }
        SimProcess sim(args);
        useReader(sim);
        AppSettings settings;
        CFunktionTestDlg dialog({settings, ports, &window});
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_EQ(dialog.handle(), 0);
        EXPECT_FALSE(dialog.isVisible());
        if (c.message != 0) {
            ASSERT_EQ(box.shown.size(), 1u);
            EXPECT_EQ(box.shown[0], str(c.message));
        } else {
            EXPECT_TRUE(box.shown.empty());
            // The connection was closed properly, not left in programming mode.
            EXPECT_TRUE(sim.waitFor("mode", "2"));
        }
    }
}

TEST_F(FunctionTestDialog, PagesOpenTheDialogThroughTheInstalledService) {
    SimProcess sim({"--interval", "0"});
    useReader(sim);
    AppSettings settings;
    installFunctionTest(settings, ports, &window);
    ASSERT_TRUE(static_cast<bool>(sheetServices().openFunctionTest));
    bool seen = false;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CFunktionTestDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = dialog->handle() > 0 && sim.value("mode") == "1";
        dialog->accept();
    });
    sheetServices().openFunctionTest(&window);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(sim.waitFor("mode", "2"));
    sheetServices().openFunctionTest = nullptr;
}

} // namespace
} // namespace veltra::test
