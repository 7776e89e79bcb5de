#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/MemoryFilterSettings.h"

#include "config/HidPageRules.h"
#include "config/ParamPageRules.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/ReaderReads.h"
#include "resources/strings/StringTable.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace veltra {
namespace {

// String numbers of the sequences' own texts.
constexpr int kModelMismatch = 74000;
constexpr int kPasswordInvalid = 74001;
constexpr int kProgrammingDone = 74002;
constexpr int kProgrammingModeQuestion = 74003;
constexpr int kFirstStepText = 74010;
constexpr int kProgrammingFailed = 139;
constexpr int kNoConnection = 151;

// Buffer sizes of the exchanges: the parameter block holds 4 bytes, the data and sequence
// blocks up to 255, a port name 80 and a remote host address 20.
constexpr int kParameterBlockBuffer = 4;
constexpr int kBlockBuffer = 255;
constexpr int kPortNameBuffer = 80;
constexpr int kRemoteHostBuffer = 20;
constexpr int kDtrCommand = 0xFE;

void report(const WorkflowCallbacks& callbacks, WorkflowStep step) {
    if (callbacks.progress) {
        callbacks.progress(step);
    }
}

bool ask(const WorkflowCallbacks& callbacks, const std::string& question) {
    return callbacks.askYesNo ? callbacks.askYesNo(question) : false;
}

bool writeBlock(ReaderLink& link, int handle, int block, const Bytes& bytes) {
    return link.writeParameterBlock(handle, block, bytes.data(), static_cast<int>(bytes.size())) >=
           0;
}

// The DTR query: command 0xFE without data. A reply of at least one byte means the reader
// supports the DTR mode, and its first byte is the mode.
std::optional<std::uint8_t> queryDtrMode(ReaderLink& link, int handle) {
    std::array<std::uint8_t, 2> reply{};
    const int n = link.transact(handle, kDtrCommand, nullptr, 0, reply.data(),
                                static_cast<int>(reply.size()));
    if (n < 1) {
        return std::nullopt;
    }
    return reply[0];
}

std::string portNameOf(ReaderLink& link, int handle) {
    std::array<char, kPortNameBuffer> name{};
    if (link.portName(handle, name.data(), static_cast<int>(name.size())) < 0) {
        return {};
    }
    name.back() = '\0';
    return name.data();
}

std::string text(int id) {
    return str(id).toStdString();
}

} // namespace

std::string stepText(WorkflowStep step) {
    return text(kFirstStepText + static_cast<int>(step));
}

WorkflowMessage modelMismatchMessage(const std::string& configured, const std::string& connected) {
    return {kModelMismatch,
            strf(kModelMismatch, configured.c_str(), connected.c_str()).toStdString()};
}

WorkflowMessage programmingFailedMessage() {
    return {kProgrammingFailed, text(kProgrammingFailed)};
}

WorkflowMessage programmingDoneMessage() {
    return {kProgrammingDone, text(kProgrammingDone)};
}

WorkflowMessage passwordInvalidMessage() {
    return {kPasswordInvalid, text(kPasswordInvalid)};
}

std::string programmingModeQuestion() {
    return text(kProgrammingModeQuestion);
}

bool recordSelectsSomething(const DataFormatRecord& record, bool firstPage) {
    if (!record.isFixedFormat()) {
        return true;
    }
    return formatForRegister(record.registers[0], firstPage) != 0;
}

ReaderReading readConfiguration(ReaderLink& link, const ReadingInput& input,
                                const WorkflowCallbacks& callbacks) {
    ReaderReading r;
    r.features = input.features;
    r.baudCode = input.baudCode;

    int handle = input.handle;
    if (handle <= 0) {
        report(callbacks, WorkflowStep::Connect);
        if (!input.open) {
            return r;
        }
        r.open = input.open();
        if (r.open.handle <= 0) {
            return r; // the pages keep their initial state
        }
        handle = r.open.handle;
        r.features = r.open.features;
        r.baudCode = r.open.baudCode;
        r.modelName = r.open.identity.modelName;
    } else {
        report(callbacks, WorkflowStep::ReadModelName);
        r.modelName = readDeviceType(link, handle).modelName;
    }
    r.connected = true;
    const std::uint32_t features = r.features;
    const bool hid = (features & feature::HidReader) != 0;

    report(callbacks, WorkflowStep::ReadParameterBlock);
    r.parameterBlock = readBlock(link, handle, 6, kParameterBlockBuffer);
    if (r.parameterBlock) {
        report(callbacks, WorkflowStep::ReadPowerOnMode);
        const int mode = link.readMode(handle);
        r.powerOnMode = mode >= 0 ? mode : -1;
        report(callbacks, WorkflowStep::ReadDtrMode);
        const std::optional<std::uint8_t> dtr = queryDtrMode(link, handle);
        r.dtrSupported = dtr.has_value();
        r.dtrMode = dtr.value_or(0);

        if (!hid) {
            ReaderParameters p;
            if ((features & feature::TcpClient) == feature::TcpClient) {
                report(callbacks, WorkflowStep::ReadRemoteHost);
                const std::string port = portNameOf(link, handle);
                std::array<char, kRemoteHostBuffer> address{};
                int remotePort = 0;
                if (link.lanReadRemoteHost(port.c_str(), address.data(), &remotePort) >= 0) {
                    address.back() = '\0';
                    p.remoteIp = address.data();
                    p.remotePort = remotePort;
                }
            }
            r.parametersDecoded = decodeParameterBlock(*r.parameterBlock, p);
            p.baudRate = (features & feature::NoCurrentBaudRate) != 0 ? 0 : r.baudCode;
            // The page uses the value as its radio index; 255 for a failed read reads as -1.
            p.powerOnMode = static_cast<std::int8_t>(mode >= 0 ? mode : 255);
            p.dtrMode = r.dtrMode;
            r.parameters = p;
        }
    }

    report(callbacks, WorkflowStep::ReadDataBlock);
    r.dataBlock = readBlock(link, handle, 1, kBlockBuffer);
    if (r.dataBlock) {
        r.dataRecords = decodeDataBlock(*r.dataBlock, r.configuration);
        DataFormatRecord& first = r.configuration.data[0];
        DataFormatRecord& second = r.configuration.data[1];
        first.active = r.dataRecords >= 1 && recordSelectsSomething(first, true) ? 1 : 0;
        second.active = r.dataRecords >= 2 && (features & feature::SecondDataPage) != 0 &&
                                recordSelectsSomething(second, false)
                            ? 1
                            : 0;
    }

    report(callbacks, WorkflowStep::ReadPrefix);
    r.prefix = readBlock(link, handle, 2, kBlockBuffer);
    report(callbacks, WorkflowStep::ReadSuffix);
    r.suffix = readBlock(link, handle, 3, kBlockBuffer);
    report(callbacks, WorkflowStep::ReadPullOff);
    r.pullOff = readBlock(link, handle, 5, kBlockBuffer);
    report(callbacks, WorkflowStep::ReadSeparator);
    r.separator = readBlock(link, handle, 4, kBlockBuffer);

    if (hid) {
        report(callbacks, WorkflowStep::ReadHidSettings);
        if (callbacks.readHidSettings && !callbacks.readHidSettings(link, handle)) {
            r.hidMessage = WorkflowMessage{kNoConnection, text(kNoConnection)};
        }
    }

    report(callbacks, WorkflowStep::Close);
    closeReaderConnection(link, handle);
    return r;
}

void loadReading(ConfigurationModel& model, const ReaderReading& reading) {
    MkrContent& content = model.content();
    content.modelName = reading.modelName;
    if (reading.dataBlock) {
        content.config.data[0] = reading.configuration.data[0];
        if (model.hasSecondDataOutput() && reading.dataRecords >= 2) {
            content.config.data[1] = reading.configuration.data[1];
        }
    }
    const std::pair<const std::optional<Bytes>*, CAsciiArray*> sequences[] = {
        {&reading.prefix, &content.prefix},
        {&reading.suffix, &content.suffix},
        {&reading.pullOff, &content.pullOff},
        {&reading.separator, &content.separator}};
    for (const auto& [block, sequence] : sequences) {
        if (*block) {
            *sequence = sequenceFromBlock(**block);
        }
    }
    if (!reading.parameterBlock) {
        content.config.parameters = defaultReaderParameters();
        return;
    }
    model.setDtrSupported(reading.dtrSupported);
    if (model.isKeyboardReader()) {
        // The keyboard reader's page takes the block with its own rules: values out of range
        // fall back to the page's defaults, a block too short changes nothing.
        HidPageValues values = hidValuesFromParameters(content.config.parameters);
        if (hidValuesFromBlock(*reading.parameterBlock, reading.powerOnMode, values).taken) {
            content.config.parameters = hidParameters(values);
        }
        return;
    }
    content.config.parameters = reading.parametersDecoded ? acceptedParameters(reading.parameters)
                                                          : defaultReaderParameters();
}

ProgrammingResult programConfiguration(ReaderLink& link, ConfigurationSource& source,
                                       const ProgrammingInput& input,
                                       const WorkflowCallbacks& callbacks) {
    ProgrammingResult result;
    const std::uint32_t features = input.features;
    const bool secondOutput = (features & feature::SecondDataPage) != 0;
    const bool powerOn = (features & feature::PowerOnMode) != 0;

    report(callbacks, WorkflowStep::Connect);
    const OpenResult opened = input.open ? input.open() : OpenResult{};
    result.open = opened;
    if (opened.handle <= 0) {
        result.message = {kNoConnection, text(kNoConnection)};
        return result;
    }
    const int handle = opened.handle;
    const int storedBaud = opened.baudCode > 0 ? opened.baudCode : input.baudCode;

    auto close = [&] {
        report(callbacks, WorkflowStep::Close);
        closeReaderConnection(link, handle);
    };
    auto stop = [&](WorkflowMessage message) {
        close();
        result.message = std::move(message);
        return result;
    };
    auto failure = [&] { return stop(programmingFailedMessage()); };

    // Nothing is written before the attached reader is known to be the configured model.
    report(callbacks, WorkflowStep::CheckModel);
    if (opened.identity.modelName != input.modelName) {
        return stop(modelMismatchMessage(input.modelName, opened.identity.modelName));
    }
    const bool hid = (features & feature::HidReader) != 0;
    if (!hid) {
        source.showCurrentInterface(storedBaud);
    }

    report(callbacks, WorkflowStep::WritePrefix);
    if (!writeBlock(link, handle, 2, source.prefixBlock())) {
        return failure();
    }

    report(callbacks, WorkflowStep::CheckDataFormats);
    if (std::optional<WorkflowMessage> complaint = source.takeDataFormats()) {
        return stop(std::move(*complaint));
    }
    const ReaderConfiguration& config = source.configuration();

    report(callbacks, WorkflowStep::WriteDataBlock);
    if (!writeBlock(link, handle, 1, encodeDataBlock(config, features))) {
        return failure();
    }

    report(callbacks, WorkflowStep::WritePasswords);
    for (std::size_t i = 0; i < (secondOutput ? 2u : 1u); ++i) {
        const DataFormatRecord& record = config.data[i];
        if (record.isFixedFormat()) {
            continue;
        }
        const std::uint8_t chipCode = record.chipCode();
        const std::string* password = nullptr;
        if (chipCode == chip::Hitag2) {
            password = &record.hitag2Password;
        } else if (chipCode == chip::ATA5577Pw) {
            password = &record.ata5577Password;
        }
        if (password == nullptr || password->empty()) {
            continue;
        }
        const EncodedPassword encoded = encodePassword(*password);
        if (encoded.result != PasswordResult::Valid) {
            return stop(passwordInvalidMessage());
        }
        // The reader acknowledges passwords without telling whether the transponder took them;
        // their result does not stop programming.
        if (chipCode == chip::Hitag2) {
            link.writeTransponderPassword(handle, encoded.bytes.data(), 4);
        } else {
            link.writeTransponderPasswordEx(handle, chip::ATA5577Pw, encoded.bytes.data(), 4);
        }
    }

    report(callbacks, WorkflowStep::WriteFilter);
    {
        MemoryFilterSettings defaults;
        const FilterSettings& filters = input.filters != nullptr ? *input.filters : defaults;
        const std::uint8_t filter =
            filterByteFor(config.data[0].transponderType,
                          [&](const FilterKey& key) { return filters.value(key.key); });
        link.writeTransponderConfig(handle, 0, &filter, 1);
    }

    report(callbacks, WorkflowStep::CheckParameters);
    if (std::optional<WorkflowMessage> complaint = source.takeParameters()) {
        return stop(std::move(*complaint));
    }
    const ReaderParameters& parameters = source.configuration().parameters;
    report(callbacks, WorkflowStep::WriteParameterBlock);
    if (!writeBlock(link, handle, 6, encodeParameterBlock(parameters))) {
        return failure();
    }

    report(callbacks, WorkflowStep::WriteSuffix);
    if (!writeBlock(link, handle, 3, source.suffixBlock())) {
        return failure();
    }
    report(callbacks, WorkflowStep::WritePullOff);
    if (!writeBlock(link, handle, 5, source.pullOffBlock())) {
        return failure();
    }
    report(callbacks, WorkflowStep::WriteSeparator);
    if (!writeBlock(link, handle, 4, source.separatorBlock())) {
        return failure();
    }

    int currentBaud = storedBaud;
    if (link.isHidConnection(handle) != 1 && (features & feature::LanConnection) == 0 &&
        parameters.baudRate != storedBaud) {
        report(callbacks, WorkflowStep::SetBaudRate);
        const int rate = baudRateOf(parameters.baudRate);
        // A rate of 0 or less is no rate: the reader would be cut off.
        if (rate <= 0 ||
            link.setBaudRate(handle, rate, serialFormatCode(parameters.baudRate)) < 0) {
            return failure();
        }
        result.baudChanged = true;
        result.baudCode = parameters.baudRate;
        currentBaud = parameters.baudRate;
        source.baudRateProgrammed(currentBaud);
    }

    if (!hid) {
        source.showCurrentInterface(currentBaud);
        if (powerOn && parameters.powerOnMode >= 0 && parameters.powerOnMode <= 2) {
            report(callbacks, WorkflowStep::WritePowerOnMode);
            link.setModeStored(handle, powerOnStoredValueFor(parameters.powerOnMode));
        }
        std::optional<bool> dtr = source.dtrSupported();
        if (!dtr) {
            dtr = queryDtrMode(link, handle).has_value();
        }
        if (*dtr) {
            report(callbacks, WorkflowStep::WriteDtrMode);
            const std::uint8_t mode = parameters.dtrMode != 0 ? 1 : 0;
            link.transact(handle, kDtrCommand, &mode, 1, nullptr, 0);
        }
    } else {
        report(callbacks, WorkflowStep::WriteHidSettings);
        if (callbacks.writeHidSettings && !callbacks.writeHidSettings(link, handle)) {
            return failure();
        }
        const int index = source.hidPowerOnMode();
        if (powerOn && index >= 0 && index <= 2) {
            report(callbacks, WorkflowStep::WritePowerOnMode);
            link.setModeStored(handle, powerOnStoredValueFor(index));
        }
    }

    if (powerOn) {
        report(callbacks, WorkflowStep::ReadBackPowerOnMode);
        const int stored = link.readMode(handle);
        if (stored >= 0 && powerOnIndexFromStored(stored) == 0 &&
            ask(callbacks, programmingModeQuestion())) {
            report(callbacks, WorkflowStep::SwitchToReaderMode);
            if (link.setModeStored(handle, 1) < 0) {
                return failure();
            }
            source.selectPowerOnMode(1);
            result.switchedToReaderMode = true;
        }
    }

    const std::string port = portNameOf(link, handle);
    close();
    if ((features & feature::TcpClient) == feature::TcpClient) {
        report(callbacks, WorkflowStep::WriteRemoteHost);
        if (link.lanWriteRemoteHost(port.c_str(), parameters.remoteIp.c_str(),
                                    parameters.remotePort) < 0) {
            result.message = programmingFailedMessage();
            return result;
        }
    }
    result.success = true;
    result.message = programmingDoneMessage();
    return result;
}

} // namespace veltra
