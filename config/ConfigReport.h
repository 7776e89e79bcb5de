// The text of the configuration report: what a reader has stored, read straight from its
// parameter blocks and described in words (sequences as hex bytes, data formats and parameters
// by name). Built from the block bytes alone; the report dialog does the reading.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace veltra {

// Message and label string numbers of the report.
inline constexpr int kStrReportTagType = 73100;
inline constexpr int kStrReportStartBlock = 73101;
inline constexpr int kStrReportLengthInBytes = 73102;
inline constexpr int kStrReportBlocks = 73103;
inline constexpr int kStrReportOrder = 73104;
inline constexpr int kStrReportDataType = 73105;
inline constexpr int kStrReportCharacters = 73106;
inline constexpr int kStrReportUsedBytes = 73107;
inline constexpr int kStrReportMode = 73108;
inline constexpr int kStrReportSensor = 73109;
inline constexpr int kStrReportCycleTime = 73110;
inline constexpr int kStrReportPrompt = 73111;
inline constexpr int kStrReportTimeout = 73112;
inline constexpr int kStrReportBadLength = 73113;
inline constexpr int kStrReportUnknown = 73114;
inline constexpr int kStrReportReadError = 73115; // "%02X" with the connection's error code
inline constexpr int kStrReportDecimal = 73116;
inline constexpr int kStrReportDecimalNoZeros = 73117;
inline constexpr int kStrReportOrderBase = 73120; // + "Ausrichtung" 0..7
// Sequence labels (the sequence pages' captions).
inline constexpr int kStrPrefixCaption = 129;
inline constexpr int kStrSuffixCaption = 130;
inline constexpr int kStrPullOffCaption = 131;
inline constexpr int kStrSeparatorCaption = 149;

// A labelled line: the part of `text` before its first ":" padded with blanks to 18 characters,
// then ":" and the rest (a blank when the rest is empty); a text without ":" is padded and
// followed by ": ".
QString reportLabel(const QString& text);

// The bytes of a sequence block as "%02X " each, up to the first 255, then a line break.
QString sequenceLine(std::span<const std::uint8_t> block);

// The blocks a report shows, as read from the reader.
struct ReportBlocks {
    std::vector<std::uint8_t> prefix;     // block 2
    std::vector<std::uint8_t> suffix;     // block 3
    std::vector<std::uint8_t> pullOff;    // block 5
    std::vector<std::uint8_t> separator;  // block 4
    std::vector<std::uint8_t> data;       // block 1
    std::vector<std::uint8_t> parameters; // block 6
};

// The sequence part: prefix, suffix, pull-off and separator lines (in this order), each with its
// label, then the dashed separator line.
QString sequencesText(const ReportBlocks& blocks);

// The data formats and parameters, or "Parameter länge nicht korrekt" when the data block has
// fewer than 11 bytes or the parameter block fewer than 4.
QString configurationText(std::span<const std::uint8_t> data,
                          std::span<const std::uint8_t> parameters);

// The whole report, and the same split into lines.
QString reportText(const ReportBlocks& blocks);
QStringList reportLines(const ReportBlocks& blocks);

// "Lesefehler : %02XHex" for a failed read of the prefix block.
QString readErrorText(int errorCode);

// The report as far as the reads got: nullopt marks a block whose read failed. Reading stops at
// the first failure, in the order prefix, suffix, pull-off, separator, then data and
// parameters together; the text holds what was shown up to there.
struct ReportReads {
    std::optional<std::vector<std::uint8_t>> prefix;
    std::optional<std::vector<std::uint8_t>> suffix;
    std::optional<std::vector<std::uint8_t>> pullOff;
    std::optional<std::vector<std::uint8_t>> separator;
    std::optional<std::vector<std::uint8_t>> data;
    std::optional<std::vector<std::uint8_t>> parameters;
};

struct ReportOutcome {
    QString text;
    bool complete = false;
    // Only a failed prefix read is reported, with the connection's error code; later failures
    // end the report silently.
    bool prefixFailed = false;
};

ReportOutcome buildReport(const ReportReads& reads);

} // namespace veltra
