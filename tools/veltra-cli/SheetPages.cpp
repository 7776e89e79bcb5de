#include "SheetPages.h"

#include "ConfigChecks.h"
#include "DataPageRules.h"

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

} // namespace

std::optional<WorkflowMessage> checkDataRecord(const DataFormatRecord& record) {
    if (const CheckResult failure = checkDataPage(dataPageEntriesOf(record))) {
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
