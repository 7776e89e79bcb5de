// The configuration report dialog against the reader simulator: the text of a reader's stored
// configuration, taking over and closing the opener's connection, the messages when the reader
// cannot be reached or stops answering.
#include "config/ui/CTestDlg.h"
#include "resources/strings/StringTable.h"
#include "tests/config/ui/SheetTestSupport.h"
#include "tests/support/SimProcess.h"

#include <QPushButton>

namespace veltra::test {
namespace {

class ReportTest : public SheetTest {};

// The lines of the report text with their leading blanks, empty lines left out.
QStringList lines(const QString& text) {
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) {
            out << line;
        }
    }
    return out;
}

TEST_F(ReportTest, ShowsTheSimulatedReadersConfigurationAndClosesItsConnection) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    const OpenResult opened = openReader();
    ASSERT_GT(opened.handle, 0);

    CTestDlg dialog(nullptr, openedReader(opened.handle, 19200, opened.features));
    ASSERT_TRUE(dialog.readContent());
    const QStringList shown = lines(dialog.reportText());
    // Type 244 as the simulator starts: "Unique" with ten hex characters on the first output,
    // nothing on the second, CR LF as suffix.
    const QStringList expected{
        QStringLiteral(" Prefix            : "),
        QStringLiteral(" Suffix            : 0D 0A "),
        QStringLiteral(" Abziehen          : "),
        QStringLiteral(" Block Trenner     : "),
        QStringLiteral(" -------------------------------------------------"),
        QStringLiteral(" Tag Typ           : Unique "),
        QStringLiteral(" Reihenfolge       : LSB first"),
        QStringLiteral(" Datentyp          : Hex (0-9,ABCDEF)"),
        QStringLiteral(" Zeichenzahl       : 10"),
        QStringLiteral(" Benutzte Bytes    : 1 - 5"),
        QStringLiteral(" -------------------------------------------------"),
        QStringLiteral(" Tag Typ           : Unbekannt (255)"),
        QStringLiteral(" Reihenfolge       : LSB first"),
        QStringLiteral(" Datentyp          : Hex (0-9,ABCDEF)"),
        QStringLiteral(" Zeichenzahl       : 10"),
        QStringLiteral(" Benutzte Bytes    : 1 - 5"),
        QStringLiteral(" -------------------------------------------------"),
        QStringLiteral(" Mode              : 0"),
        QStringLiteral(" Zykluszeit        : 1000 Millisekunden"),
        QStringLiteral(" Aufforderung      : ?"),
        QStringLiteral(" Timeout           : 500 Millisekunden "),
    };
    EXPECT_EQ(shown, expected) << dialog.reportText().toStdString();
    EXPECT_TRUE(dialog.noticeText().isEmpty());
    EXPECT_TRUE(messages.shown.empty());
    // The handed-over connection is closed: the reader is back in mode 2, the handle is gone.
    EXPECT_TRUE(sim.waitForValue("mode", "2"));
    EXPECT_EQ(connects, 0);

    // "Inhalt lesen" reads again through a connection of its own; "Löschen" empties the text.
    dialog.readButton()->click();
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(lines(dialog.reportText()), shown);
    dialog.clearButton()->click();
    EXPECT_TRUE(dialog.reportText().isEmpty());
}

TEST_F(ReportTest, NoReaderShowsTheConnectionMessageAndTheDialogDoesNotOpen) {
    CTestDlg dialog(nullptr, openedReader(0, 19200, 0));
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(151));
    EXPECT_FALSE(dialog.isVisible());
}

// A reader that refuses one block: the prefix block's failure is reported with the
// connection's error code; a later one leaves what was read and says the report is incomplete.
TEST_F(ReportTest, ReaderThatStopsAnsweringPartWay) {
    struct Case {
        const char* command; // the refused read command
        bool readErrorMessage;
        const char* lastLine; // what the text ends with
    };
    const Case cases[] = {
        {"8A", true, "Prefix"},   // block 2
        {"8B", false, "Suffix"},  // block 3
        {"89", false, "-------"}, // block 1: sequences shown, no data formats
        {"8E", false, "-------"}, // block 6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        messages.shown.clear();
        SimProcess sim({"--type", "244", "--status", "02", "--fault-command", c.command});
        port = sim.port();
        CTestDlg dialog(nullptr, openedReader(0, 19200, 0));
        ASSERT_TRUE(dialog.readContent());
        const QStringList shown = lines(dialog.reportText());
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_TRUE(shown.back().contains(QLatin1String(c.lastLine))) << shown.back().toStdString();
        EXPECT_FALSE(dialog.reportText().contains(QStringLiteral("Zykluszeit")));
        if (c.readErrorMessage) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("Lesefehler : ")));
            EXPECT_TRUE(messages.shown[0].endsWith(QStringLiteral("Hex")));
            EXPECT_TRUE(dialog.noticeText().isEmpty());
        } else {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(dialog.noticeText(), str(75514));
        }
        // Closed on every path.
        EXPECT_TRUE(sim.waitForValue("mode", "2"));
    }
}

} // namespace
} // namespace veltra::test
