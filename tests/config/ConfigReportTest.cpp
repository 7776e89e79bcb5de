#include "config/ConfigReport.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

using Bytes = std::vector<std::uint8_t>;

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const Bytes kParams{0x03, 10, '?', 5};

TEST(ReportText, LabelFormat) {
    const std::pair<const char*, const char*> cases[] = {
        {"Prefix", "Prefix            : "},
        {"Startblock:", "Startblock        : "},
        {"Länge in Bytes:", "Länge in Bytes    : "},
        {"Zeichenzahl   : 8\r\n", "Zeichenzahl       : 8\r\n"},
        {"Sensor    : aktiv\r\n", "Sensor            : aktiv\r\n"},
        {"a:b:c", "a                 :b:c"},
        {"Exactly eighteen c", "Exactly eighteen c: "},
        {"Longer than eighteen", "Longer than eighteen: "},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(reportLabel(u(text)), u(expected)) << text;
    }
}

TEST(ReportText, SequenceLines) {
    const std::pair<Bytes, const char*> cases[] = {
        {{}, "\r\n"},
        {{0xFF, 0x41}, "\r\n"},
        {{0x02, 0x0D, 0xFF, 0x41}, "02 0D \r\n"},
        {{0x0a, 0xab}, "0A AB \r\n"},
    };
    for (const auto& [block, expected] : cases) {
        EXPECT_EQ(sequenceLine(block), u(expected));
    }
}

TEST(ReportText, WholeReportOfOneRecord) {
    ReportBlocks b;
    b.prefix = {0x02, 0xFF};
    b.suffix = {0x0D, 0x0A, 0xFF};
    b.pullOff = {0xFF};
    b.separator = {0x2D, 0xFF};
    b.data = {0x85, 16, 12, 255, 255, 255, 5, 4, 24, 12, 3, 0, 0, 0, 255, 255, 255, 255};
    b.parameters = {0x13, 10, '#', 5};
    const char* expected = " Prefix            : 02 \r\n"
                           " Suffix            : 0D 0A \r\n"
                           " Abziehen          : \r\n"
                           " Block Trenner     : 2D \r\n"
                           " -------------------------------------------------\r\n"
                           " Tag Typ           : Hitag1 \r\n"
                           " Startblock        : 16\r\n"
                           " Länge in Bytes    : 12\r\n"
                           " Reihenfolge       : MSB first Halbbytes getauscht\r\n"
                           " Datentyp          : Hex (0-9,abcdef)\r\n"
                           " Zeichenzahl       : 24\r\n"
                           " Benutzte Bytes    : 3 - 12\r\n"
                           " Mode              : 3\r\n"
                           " Sensor            : aktiv\r\n"
                           " Zykluszeit        : 1000 Millisekunden\r\n"
                           " Aufforderung      : #\r\n"
                           " Timeout           : 500 Millisekunden \r\n";
    EXPECT_EQ(reportText(b), u(expected));
    const QStringList lines = reportLines(b);
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[5], u(" Tag Typ           : Hitag1 "));
    EXPECT_EQ(lines.back(), u(" Timeout           : 500 Millisekunden "));
}

TEST(ReportText, RecordDescriptions) {
    struct Case {
        const char* what;
        Bytes data;
        const char* contains;
        const char* absent;
    };
    const Case cases[] = {
        {"fixed 17",
         {0, 17, 255, 255, 255, 255, 0, 0, 10, 5, 1},
         "Tag Typ           : Unbekannt (17)\r\n",
         "Blöcke"},
        {"Zem 12", {0, 9, 255, 255, 255, 255, 0, 1, 10, 5, 1}, ": Zem 12Bit\r\n", nullptr},
        {"display 5",
         {0, 1, 255, 255, 255, 255, 0, 5, 10, 5, 1},
         "Datentyp          : Unbekannt (5)\r\n",
         nullptr},
        {"display 3",
         {0, 1, 255, 255, 255, 255, 0, 3, 10, 5, 1},
         ": Dezimal ohne führende 0\r\n",
         nullptr},
        {"alignment 9",
         {0, 1, 255, 255, 255, 255, 9, 0, 10, 5, 1},
         "Reihenfolge       : \r\n",
         nullptr},
        {"blocks",
         {2, 3, 254, 255, 7, 255, 0, 0, 10, 5, 1},
         "Blöcke            : 3 UID \r\n",
         "7 "},
        {"four blocks",
         {4, 0, 1, 2, 3, 255, 2, 0, 10, 5, 1},
         "Blöcke            : 0 1 2 3 \r\n",
         nullptr},
        {"modulation",
         {9, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1, 0, 0, 5},
         ": ATA5577 Manchester(RF/32)\r\n",
         nullptr},
        {"13 bytes no modulation",
         {9, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1, 0, 0},
         ": ATA5577\r\n",
         "Manchester"},
        {"Hitag1 no modulation",
         {5, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1, 0, 0, 5},
         ": Hitag1 \r\n",
         "Manchester"},
        {"unknown chip",
         {1, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1},
         ": Unbekannt (1)\r\n",
         nullptr},
        {"Hitag µ", {10, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1}, ": Hitagµ \r\n", nullptr},
        {"Tiris sequence",
         {33 | 0x80, 17, 8, 255, 255, 255, 0, 0, 10, 5, 1},
         "Länge in Bytes    : 8\r\n",
         "Blöcke"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = configurationText(c.data, kParams);
        EXPECT_TRUE(text.contains(u(c.contains))) << text.toStdString();
        if (c.absent != nullptr) {
            EXPECT_FALSE(text.contains(u(c.absent))) << text.toStdString();
        }
        EXPECT_FALSE(text.contains(QStringLiteral("-----"))) << "one record, no separator lines";
    }
}

TEST(ReportText, LengthsAndSecondRecord) {
    const Bytes ten(10, 0);
    EXPECT_EQ(configurationText(ten, kParams), u("Parameter länge nicht korrekt\r\n"));
    const Bytes eleven{0, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1};
    EXPECT_EQ(configurationText(eleven, Bytes{1, 2, 3}), u("Parameter länge nicht korrekt\r\n"));
    EXPECT_TRUE(
        configurationText(eleven, kParams).startsWith(u("Tag Typ           : Unique \r\n")));

    Bytes forty(40, 0);
    forty[0] = 0;
    forty[1] = 1;
    forty[20] = 2;
    forty[21] = 4;
    forty[22] = 255;
    const QString text = configurationText(forty, kParams);
    EXPECT_EQ(text.count(u("-------------------------------------------------\r\n ")), 2);
    EXPECT_TRUE(text.contains(u("Hitag2 \r\n Blöcke            : 4 \r\n")));
    EXPECT_LT(text.indexOf(u("Unique")), text.indexOf(u("Hitag2")));
}

TEST(ReportText, PromptCharacter) {
    const Bytes data{0, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1};
    const std::pair<std::uint8_t, QChar> cases[] = {
        {0x7F, QChar(0x7F)},     {0x80, QLatin1Char('?')}, {0x1F, QLatin1Char('?')},
        {'A', QLatin1Char('A')}, {0xFF, QLatin1Char('?')},
    };
    for (const auto& [byte, shown] : cases) {
        const QString text = configurationText(data, Bytes{0, 10, byte, 5});
        EXPECT_TRUE(text.contains(u("Aufforderung      : ") + shown + u("\r\n"))) << int(byte);
    }
    EXPECT_EQ(readErrorText(0x0B), u("Lesefehler : 0BHex"));
}

TEST(ReportText, ReadingStopsAtTheFirstFailure) {
    const Bytes seq{0x41, 0xFF};
    const Bytes data{0, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1};
    ReportReads all{seq, seq, seq, seq, data, kParams};
    ReportBlocks blocks{seq, seq, seq, seq, data, kParams};
    const ReportOutcome whole = buildReport(all);
    EXPECT_TRUE(whole.complete);
    EXPECT_FALSE(whole.prefixFailed);
    EXPECT_EQ(whole.text, reportText(blocks));

    struct Case {
        const char* what;
        std::optional<Bytes> ReportReads::*failing;
        bool prefixFailed;
        int sequenceLines; // sequence lines shown before the failure
        bool dashes;
    };
    const Case cases[] = {
        {"prefix", &ReportReads::prefix, true, 0, false},
        {"suffix", &ReportReads::suffix, false, 1, false},
        {"pull-off", &ReportReads::pullOff, false, 2, false},
        {"separator", &ReportReads::separator, false, 3, false},
        {"data", &ReportReads::data, false, 4, true},
        {"parameters", &ReportReads::parameters, false, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportReads reads = all;
        reads.*c.failing = std::nullopt;
        const ReportOutcome out = buildReport(reads);
        EXPECT_FALSE(out.complete);
        EXPECT_EQ(out.prefixFailed, c.prefixFailed);
        EXPECT_EQ(out.text.count(u("41 \r\n")), c.sequenceLines);
        EXPECT_EQ(out.text.contains(u("-----")), c.dashes);
        EXPECT_FALSE(out.text.contains(u("Tag Typ")));
    }
}

TEST(ReportText, AnyBlockLengthIsSafe) {
    // Blocks of every length up to beyond two records, filled with changing bytes: the text is
    // built from what is there and never reads past the end.
    std::uint32_t seed = 12345;
    for (std::size_t n = 0; n <= 64; ++n) {
        for (int round = 0; round < 8; ++round) {
            Bytes data(n);
            for (std::uint8_t& b : data) {
                seed = seed * 1103515245u + 12345u;
                b = static_cast<std::uint8_t>(seed >> 16);
            }
            const Bytes params(data.begin(), data.begin() + std::min<std::size_t>(n, 4));
            const QString text = configurationText(data, params);
            EXPECT_EQ(n < 11, text == u("Parameter länge nicht korrekt\r\n")) << n;
            ReportBlocks blocks;
            blocks.prefix = data;
            blocks.data = data;
            blocks.parameters = params;
            EXPECT_FALSE(reportLines(blocks).isEmpty());
        }
    }
}

} // namespace
} // namespace veltra
