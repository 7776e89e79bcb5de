#include "config/ConfigurationModel.h"

#include "config/DataPageRules.h"
#include "config/DeviceFeatures.h"
#include "config/HidPageRules.h"
#include "config/ParamPageRules.h"
#include "resources/strings/StringTable.h"

namespace veltra {
namespace {

Bytes blockOf(const CAsciiArray& sequence) {
    Bytes bytes;
    AppendCodes(sequence, bytes);
    return bytes;
}

WorkflowMessage messageOf(int id) {
    return {id, str(id).toStdString()};
}

constexpr int kStrPasswordNotCorrect = 74001;

} // namespace

WorkflowMessage messageOf(const CheckFailure& failure) {
    return {failure.stringId, failure.message().toStdString()};
}

bool secondOutputRepeatsFirst(const DataFormatRecord& first, const DataFormatRecord& second) {
    if (first.active == 0 || second.active == 0) {
        return false;
    }
    if (first.isFixedFormat() && second.isFixedFormat()) {
        const std::uint8_t format = formatForRegister(first.registers[0], true);
        return format != 0 && format == formatForRegister(second.registers[0], false);
    }
    return !first.isFixedFormat() && !second.isFixedFormat() &&
           first.chipCode() == second.chipCode();
}

ConfigurationModel::ConfigurationModel(std::uint32_t features) : features_(features) {
    content_.config.parameters = defaultReaderParameters();
}

bool ConfigurationModel::isKeyboardReader() const {
    return (features_ & feature::HidReader) != 0;
}

bool ConfigurationModel::hasSecondDataOutput() const {
    return (features_ & feature::SecondDataPage) != 0;
}

MkrLoadResult ConfigurationModel::loadFile(const std::string& path,
                                           const ModelQuestion& askOtherModel) {
    MkrContent loaded = content_;
    MkrLoadResult result = loadConfigurationFile(path, loaded, features_, askOtherModel);
    if (result.status == MkrLoadStatus::Loaded) {
        content_ = std::move(loaded);
    }
    return result;
}

MkrSaveResult ConfigurationModel::saveFile(const std::string& path) const {
    if (const std::optional<WorkflowMessage> refusal = checkForSaving()) {
        return {false, refusal->text};
    }
    MkrContent shown = content_;
    shown.config = shownRecords();
    shown.config.parameters = shownParameters();
    return saveConfigurationFile(path, shown, features_);
}

ReaderConfiguration ConfigurationModel::shownRecords() const {
    ReaderConfiguration config = content_.config;
    for (std::size_t i = 0; i < (hasSecondDataOutput() ? 2u : 1u); ++i) {
        DataFormatRecord& record = config.data[i];
        record = pageRecord(record, features_);
        record.active = recordSelectsOutput(record, i == 0) ? 1 : 0;
    }
    return config;
}

std::optional<WorkflowMessage> ConfigurationModel::checkDataRecords() const {
    const ReaderConfiguration shown = shownRecords();
    for (std::size_t i = 0; i < (hasSecondDataOutput() ? 2u : 1u); ++i) {
        if (const CheckResult failure = checkDataPage(dataPageEntriesOf(shown.data[i]))) {
            return messageOf(*failure);
        }
    }
    if (hasSecondDataOutput() && secondOutputRepeatsFirst(shown.data[0], shown.data[1])) {
        return messageOf(kStrSecondOutputRepeatsFirst);
    }
    return std::nullopt;
}

std::optional<WorkflowMessage> ConfigurationModel::checkParameters() const {
    const CheckResult failure =
        isKeyboardReader() ? checkHidValues(hidValuesFromParameters(content_.config.parameters))
                           : checkParameterValues(content_.config.parameters);
    if (failure) {
        return messageOf(*failure);
    }
    return std::nullopt;
}

std::optional<WorkflowMessage> ConfigurationModel::checkForSaving() const {
    if (checkDataRecords()) {
        return messageOf(kStrDataPageInvalidOnSave);
    }
    return checkParameters();
}

std::optional<WorkflowMessage> ConfigurationModel::checkForProgramming() const {
    if (std::optional<WorkflowMessage> failure = checkDataRecords()) {
        return failure;
    }
    const ReaderConfiguration shown = shownRecords();
    for (std::size_t i = 0; i < (hasSecondDataOutput() ? 2u : 1u); ++i) {
        const DataFormatRecord& record = shown.data[i];
        if (record.isFixedFormat()) {
            continue;
        }
        const std::string* password = record.chipCode() == chip::Hitag2 ? &record.hitag2Password
                                      : record.chipCode() == chip::ATA5577Pw
                                          ? &record.ata5577Password
                                          : nullptr;
        if (password != nullptr && passwordBlocksProgramming(*password)) {
            return messageOf(kStrPasswordNotCorrect);
        }
    }
    return checkParameters();
}

Bytes ConfigurationModel::prefixBlock() {
    return blockOf(content_.prefix);
}
Bytes ConfigurationModel::suffixBlock() {
    return blockOf(content_.suffix);
}
Bytes ConfigurationModel::pullOffBlock() {
    return blockOf(content_.pullOff);
}
Bytes ConfigurationModel::separatorBlock() {
    return blockOf(content_.separator);
}

std::optional<WorkflowMessage> ConfigurationModel::takeDataFormats() {
    if (std::optional<WorkflowMessage> failure = checkDataRecords()) {
        return failure;
    }
    const ReaderConfiguration shown = shownRecords();
    content_.config.data = shown.data;
    return std::nullopt;
}

std::optional<WorkflowMessage> ConfigurationModel::takeParameters() {
    if (std::optional<WorkflowMessage> failure = checkParameters()) {
        return failure;
    }
    content_.config.parameters = shownParameters();
    return std::nullopt;
}

ReaderParameters ConfigurationModel::shownParameters() const {
    const ReaderParameters& p = content_.config.parameters;
    return isKeyboardReader() ? hidParameters(hidValuesFromParameters(p)) : pageParameters(p);
}

int ConfigurationModel::hidPowerOnMode() const {
    return isKeyboardReader() ? hidValuesFromParameters(content_.config.parameters).powerOnIndex
                              : -1;
}

void ConfigurationModel::baudRateProgrammed(int baudCode) {
    content_.config.parameters.baudRate = baudCode;
}

void ConfigurationModel::selectPowerOnMode(int index) {
    content_.config.parameters.powerOnMode = static_cast<std::int8_t>(index);
}

} // namespace veltra
