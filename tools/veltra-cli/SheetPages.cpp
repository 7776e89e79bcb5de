#include "SheetPages.h"

#include "ConfigChecks.h"

#include <array>
#include <string>

namespace veltra {
namespace {

Bytes blockOf(const CAsciiArray& sequence) {
    Bytes bytes;
    AppendCodes(sequence, bytes);
    return bytes;
}

CAsciiArray sequenceOf(const std::optional<Bytes>& block) {
    return block ? SequenceFromBlock(*block) : CAsciiArray{};
}

WorkflowMessage messageOf(const CheckFailure& failure) {
    return {failure.stringId, failure.message().toStdString()};
}

std::string characterText(std::uint8_t c) {
    return c == 0 ? std::string() : std::string(1, static_cast<char>(c));
}

} // namespace

DataFormatRecord pageRecord(const DataFormatRecord& record, std::uint32_t features) {
    auto has = [features](std::uint32_t bit) { return (features & bit) != 0; };
    DataFormatRecord r = record;
    if (r.display == 5 && !has(feature::AsciiNoNulDisplay)) {
        r.display = 2;
    }
    if (!has(feature::AsciiDisplay) && r.display > 1) {
        r.display = 0;
    }
    if (!has(feature::SecondDataPage)) {
        if (r.display == 3) {
            r.display = 1;
        } else if (r.display == 4) {
            r.display = 0;
        }
    }
    if (r.isFixedFormat()) {
        return r;
    }
    std::uint8_t chip = r.chipCode();
    const bool sequence = r.isBlockSequence();
    if (chip == chip::EM4569 && !has(feature::Em4569AndReversal)) {
        chip = chip::Hitag1;
    } else if (chip == chip::HitagMicro && !has(feature::SecondDataPage)) {
        chip = chip::HitagS;
    } else if (chip == chip::EM4305 && !has(feature::SecondDataPage)) {
        chip = chip::Hitag1;
    } else if ((chip == chip::ATA5575 && !has(feature::SecondDataPage)) ||
               (chip == chip::ATA5551 && !has(feature::Ata5551))) {
        chip = chip::ATA5577;
    } else if (chip == chip::SIC7888 && !has(feature::Sic7888)) {
        chip = chip::HitagS;
    } else if (chip == chip::ATA5577Pw && !has(feature::Ata5577Password)) {
        chip = chip::ATA5577;
    } else if (chip == chip::Tiris && !has(feature::HdxFormats)) {
        chip = chip::HitagS;
    }
    r.transponderType = static_cast<std::uint8_t>(chip | (sequence ? kBlockSequenceFlag : 0));
    if (sequence && r.registers[0] != kUidRegister && !has(feature::BlockSequence)) {
        // The page shows single blocks with empty block fields.
        r.transponderType = chip;
        r.registers = {kNoEntry, kNoEntry, kNoEntry, kNoEntry};
    }
    return r;
}

std::optional<WorkflowMessage> checkDataRecord(const DataFormatRecord& record) {
    DataPageEntries e;
    if (record.active == 0) {
        e.selection = DataSelection::None;
    } else if (record.isFixedFormat()) {
        e.selection = DataSelection::FixedFormat;
    } else if (record.registers[0] == kUidRegister) {
        e.selection = DataSelection::Uid;
    } else if (record.isBlockSequence()) {
        e.selection = DataSelection::BlockSequence;
        e.startBlock = std::to_string(record.registers[0]);
        e.lengthInBytes = std::to_string(record.registers[1]);
    } else {
        e.selection = DataSelection::SingleBlocks;
        for (std::size_t i = 0; i < 4; ++i) {
            e.blocks[i] = record.registers[i] == kNoEntry ? std::string()
                                                          : std::to_string(record.registers[i]);
        }
    }
    e.chip = record.isFixedFormat() ? 0 : record.chipCode();
    if (e.chip == chip::Hitag2) {
        e.password = record.hitag2Password;
    } else if (e.chip == chip::ATA5577Pw) {
        e.password = record.ata5577Password;
    }
    e.typeIdBefore = characterText(record.typeIdLeft);
    e.typeIdAfter = characterText(record.typeIdRight);
    e.characterCount = record.length;
    e.usedBytesFrom = record.validBytesFrom;
    e.usedBytesTo = record.validBytes;
    if (const CheckResult failure = checkDataPage(e)) {
        return messageOf(*failure);
    }
    return std::nullopt;
}

std::optional<WorkflowMessage> checkParameters(const ReaderParameters& parameters) {
    if (const CheckResult failure = checkParameterValues(parameters)) {
        return messageOf(*failure);
    }
    return std::nullopt;
}

SheetPages::SheetPages(std::uint32_t features, bool dtrSupported)
    : features_(features), dtrSupported_(dtrSupported) {
    content_.config.parameters = defaultReaderParameters();
}

void SheetPages::fillFromReading(const ReaderReading& reading) {
    content_.modelName = reading.modelName;
    content_.config.data = reading.configuration.data;
    content_.prefix = sequenceOf(reading.prefix);
    content_.suffix = sequenceOf(reading.suffix);
    content_.pullOff = sequenceOf(reading.pullOff);
    content_.separator = sequenceOf(reading.separator);
    dtrSupported_ = reading.dtrSupported;
    // The parameter page keeps its defaults when the reader delivered nothing usable.
    if (reading.parametersDecoded && !checkParameters(reading.parameters)) {
        content_.config.parameters = pageParameters(reading.parameters);
    } else {
        content_.config.parameters = defaultReaderParameters();
    }
}

Bytes SheetPages::prefixBlock() {
    return blockOf(content_.prefix);
}
Bytes SheetPages::suffixBlock() {
    return blockOf(content_.suffix);
}
Bytes SheetPages::pullOffBlock() {
    return blockOf(content_.pullOff);
}
Bytes SheetPages::separatorBlock() {
    return blockOf(content_.separator);
}

std::optional<WorkflowMessage> SheetPages::takeDataFormats() {
    const bool second = (features_ & feature::SecondDataPage) != 0;
    for (std::size_t i = 0; i < (second ? 2u : 1u); ++i) {
        DataFormatRecord record = pageRecord(content_.config.data[i], features_);
        record.active = recordSelectsOutput(record, i == 0) ? 1 : 0;
        if (std::optional<WorkflowMessage> failure = checkDataRecord(record)) {
            return failure;
        }
        content_.config.data[i] = record;
    }
    return std::nullopt;
}

std::optional<WorkflowMessage> SheetPages::takeParameters() {
    if (std::optional<WorkflowMessage> failure = checkParameters(content_.config.parameters)) {
        return failure;
    }
    content_.config.parameters = pageParameters(content_.config.parameters);
    return std::nullopt;
}

void SheetPages::selectPowerOnMode(int index) {
    content_.config.parameters.powerOnMode = static_cast<std::int8_t>(index);
}

} // namespace veltra
