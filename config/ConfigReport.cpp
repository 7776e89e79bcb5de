#include "config/ConfigReport.h"

#include "config/ReaderConfiguration.h"
#include "resources/strings/StringTable.h"

namespace veltra {
namespace {

constexpr int kLabelWidth = 18;
const QString kLineBreak = QStringLiteral("\r\n");
const QString kDashes = QString(49, QLatin1Char('-'));

// Offsets of the fields a record description looks at.
enum : std::size_t {
    kType = 0,
    kRegister1 = 1,
    kAlignment = 6,
    kDisplay = 7,
    kLength = 8,
    kLastByte = 9,
    kFirstByte = 10,
    kModSpeed = 13,
};

QString labelled(int id) {
    return reportLabel(str(id));
}

QString unknown(int value) {
    return strf(kStrReportUnknown, value);
}

const char* chipText(int code) {
    switch (code) {
    case 2:
        return "Hitag2 ";
    case 3:
        return "Q5     ";
    case 4:
        return "HitagS ";
    case 5:
        return "Hitag1 ";
    case 6:
        return "Titan  ";
    case 7:
        return "EM4569 ";
    case 8:
        return "EM4305 ";
    case 9:
        return "ATA5577";
    case 10:
        return "Hitag\xC2\xB5 ";
    case 11:
        return "ATA5575";
    case 12:
        return "SIC7888";
    case 13:
        return "ATA5551";
    case 33:
        return "Tiris ";
    case 48:
        return "ATA5577 + PW";
    default:
        return nullptr;
    }
}

bool showsModulation(int code) {
    return code == 7 || code == 8 || code == 9 || code == 11 || code == 13 || code == 48;
}

const char* modulationText(int code) {
    switch (code) {
    case 0:
        return " Manchester(RF/64)";
    case 5:
        return " Manchester(RF/32)";
    case 6:
        return " Diff.Bi-Phase(RF/64)";
    case 1:
        return " Diff.Bi-Phase(RF/32)";
    case 2:
        return " FSK2a(RF/50)";
    default:
        return "";
    }
}

const char* formatText(int code) {
    switch (code) {
    case 1:
        return "Unique ";
    case 2:
        return "Zem 16Bit";
    case 3:
        return "UniqueXL";
    case 4:
        return "FDX-B  ";
    case 5:
        return "FDX-A  ";
    case 6:
        return "HDX    ";
    case 7:
        return "Waste FDX";
    case 8:
        return "Waste HDX";
    case 9:
        return "Zem 12Bit";
    default:
        return nullptr;
    }
}

QString displayText(int value) {
    switch (value) {
    case 0:
        return QStringLiteral("Hex (0-9,ABCDEF)");
    case 1:
        return str(kStrReportDecimal);
    case 2:
        return QStringLiteral("ASCII");
    case 3:
        return str(kStrReportDecimalNoZeros);
    case 4:
        return QStringLiteral("Hex (0-9,abcdef)");
    default:
        return unknown(value);
    }
}

// One data record; `record` starts at the record and holds at least 11 bytes.
QString describeRecord(std::span<const std::uint8_t> record) {
    auto at = [&](std::size_t i) { return i < record.size() ? int(record[i]) : 0; };
    QString out = labelled(kStrReportTagType);
    const int type = at(kType);
    if (type != 0) {
        const int chipCode = type & 0x7F;
        const char* name = chipText(chipCode);
        out += name != nullptr ? QString::fromUtf8(name) : unknown(chipCode);
        if (showsModulation(chipCode) && record.size() >= 14) {
            out += QString::fromUtf8(modulationText(at(kModSpeed)));
        }
        out += kLineBreak + QLatin1Char(' ');
        if ((type & 0x80) != 0) {
            out += labelled(kStrReportStartBlock) + QString::number(at(kRegister1)) + kLineBreak +
                   QLatin1Char(' ');
            out += labelled(kStrReportLengthInBytes) + QString::number(at(kRegister1 + 1)) +
                   kLineBreak + QLatin1Char(' ');
        } else {
            out += labelled(kStrReportBlocks);
            for (std::size_t i = 0; i < 4; ++i) {
                const int reg = at(kRegister1 + i);
                if (reg == 255) {
                    break;
                }
                out +=
                    reg == 254 ? QStringLiteral("UID ") : QString::number(reg) + QLatin1Char(' ');
            }
            out += kLineBreak + QLatin1Char(' ');
        }
    } else {
        const char* name = formatText(at(kRegister1));
        out += name != nullptr ? QString::fromUtf8(name) : unknown(at(kRegister1));
        out += kLineBreak + QLatin1Char(' ');
    }

    out += labelled(kStrReportOrder);
    const int alignment = at(kAlignment);
    if (alignment <= 7) {
        out += str(kStrReportOrderBase + alignment);
    }
    out += kLineBreak + QLatin1Char(' ');

    out += labelled(kStrReportDataType) + displayText(at(kDisplay)) + kLineBreak + QLatin1Char(' ');
    out += reportLabel(strf(kStrReportCharacters, at(kLength))) + QLatin1Char(' ');
    out += reportLabel(strf(kStrReportUsedBytes, at(kFirstByte), at(kLastByte))) + QLatin1Char(' ');
    return out;
}

QString describeParameters(std::span<const std::uint8_t> p) {
    const std::uint8_t mode = p[parameterByte::Mode];
    QString out = reportLabel(strf(kStrReportMode, mode & 15)) + QLatin1Char(' ');
    if ((mode & 0x10) != 0) {
        out += reportLabel(str(kStrReportSensor)) + QLatin1Char(' ');
    }
    out += reportLabel(strf(kStrReportCycleTime, p[parameterByte::CycleTime] * 100)) +
           QLatin1Char(' ');
    const std::uint8_t promptByte = p[parameterByte::Prompt];
    const int prompt = (promptByte < 32 || promptByte >= 128) ? '?' : promptByte;
    out += reportLabel(strf(kStrReportPrompt, prompt)) + QLatin1Char(' ');
    out += reportLabel(strf(kStrReportTimeout, p[parameterByte::Timeout] * 100));
    return out;
}

} // namespace

QString reportLabel(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        return text.leftJustified(kLabelWidth) + QStringLiteral(": ");
    }
    const QString rest = text.mid(colon + 1);
    return text.left(colon).leftJustified(kLabelWidth) + QLatin1Char(':') +
           (rest.isEmpty() ? QStringLiteral(" ") : rest);
}

QString sequenceLine(std::span<const std::uint8_t> block) {
    QString out;
    for (std::uint8_t byte : block) {
        if (byte == 255) {
            break;
        }
        out += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out + kLineBreak;
}

QString sequencesText(const ReportBlocks& b) {
    QString out;
    out += QLatin1Char(' ') + labelled(kStrPrefixCaption) + sequenceLine(b.prefix);
    out += QLatin1Char(' ') + labelled(kStrSuffixCaption) + sequenceLine(b.suffix);
    // Each of the last two lines carries its own caption; the order stays pull-off, separator.
    out += QLatin1Char(' ') + labelled(kStrPullOffCaption) + sequenceLine(b.pullOff);
    out += QLatin1Char(' ') + labelled(kStrSeparatorCaption) + sequenceLine(b.separator);
    out += QLatin1Char(' ') + kDashes + kLineBreak + QLatin1Char(' ');
    return out;
}

QString configurationText(std::span<const std::uint8_t> data,
                          std::span<const std::uint8_t> parameters) {
    if (data.size() < 11 || parameters.size() < 4) {
        return str(kStrReportBadLength);
    }
    QString out = describeRecord(data);
    if (data.size() >= 40) {
        const QString line = kDashes + kLineBreak + QLatin1Char(' ');
        out += line + describeRecord(data.subspan(20)) + line;
    }
    out += describeParameters(parameters);
    return out;
}

QString reportText(const ReportBlocks& blocks) {
    return sequencesText(blocks) + configurationText(blocks.data, blocks.parameters);
}

QStringList reportLines(const ReportBlocks& blocks) {
    QStringList lines = reportText(blocks).split(kLineBreak);
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QString readErrorText(int errorCode) {
    return strf(kStrReportReadError, errorCode);
}

ReportOutcome buildReport(const ReportReads& reads) {
    ReportOutcome out;
    const std::pair<int, const std::optional<std::vector<std::uint8_t>>*> sequences[] = {
        {kStrPrefixCaption, &reads.prefix},
        {kStrSuffixCaption, &reads.suffix},
        {kStrPullOffCaption, &reads.pullOff},
        {kStrSeparatorCaption, &reads.separator},
    };
    for (const auto& [caption, block] : sequences) {
        out.text += QLatin1Char(' ') + labelled(caption);
        if (!block->has_value()) {
            out.prefixFailed = caption == kStrPrefixCaption;
            return out;
        }
        out.text += sequenceLine(**block);
    }
    out.text += QLatin1Char(' ') + kDashes + kLineBreak + QLatin1Char(' ');
    if (!reads.data || !reads.parameters) {
        return out;
    }
    out.text += configurationText(*reads.data, *reads.parameters);
    out.complete = true;
    return out;
}

} // namespace veltra
