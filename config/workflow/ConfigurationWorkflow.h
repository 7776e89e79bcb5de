// The reading and programming sequences of the configuration sheet, free of widgets: the sheet,
// veltra-cli and the tests drive them alike. They talk to the reader only through the device
// link's operations (ReaderLink) and report every step, ask their questions through callbacks
// and leave storing settings to the caller.
#pragma once

#include "config/ConfigurationModel.h"
#include "config/ConfigurationSource.h"
#include "config/DeviceFeatures.h"
#include "config/ReaderConfiguration.h"
#include "config/WorkflowMessage.h"
#include "config/workflow/ReaderConnector.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace veltra {

class FilterSettings;

enum class WorkflowStep {
    // Reading
    Connect,
    ReadModelName,
    ReadParameterBlock,
    ReadPowerOnMode,
    ReadDtrMode,
    ReadRemoteHost,
    ReadDataBlock,
    ReadPrefix,
    ReadSuffix,
    ReadPullOff,
    ReadSeparator,
    ReadHidSettings,
    Close,
    // Programming
    CheckModel,
    WritePrefix,
    CheckDataFormats,
    WriteDataBlock,
    WritePasswords,
    WriteFilter,
    CheckParameters,
    WriteParameterBlock,
    WriteSuffix,
    WritePullOff,
    WriteSeparator,
    SetBaudRate,
    WritePowerOnMode,
    WriteDtrMode,
    WriteHidSettings,
    ReadBackPowerOnMode,
    SwitchToReaderMode,
    WriteRemoteHost,
};

// The progress text of a step in the current language.
std::string stepText(WorkflowStep step);

struct WorkflowCallbacks {
    // Called before each step.
    std::function<void(WorkflowStep)> progress;
    // A Yes/No question; no callback counts as No.
    std::function<bool(const std::string& question)> askYesNo;
    // HID readers: the HID page's own reading and writing of its settings (keyboard layout and
    // HID parameters). No callback counts as success.
    std::function<bool(ReaderLink&, int handle)> readHidSettings;
    std::function<bool(ReaderLink&, int handle)> writeHidSettings;
};

// Opens the reader as the program's connection procedure does (messages, storing a corrected
// baud rate and the like are the caller's business).
using OpenReaderFunction = std::function<OpenResult()>;

// --- Reading ------------------------------------------------------------------------------

struct ReadingInput {
    int handle = 0;             // an open connection to take over, or 0 to open one
    std::uint32_t features = 0; // with a handle: its DeviceFeatures
    int baudCode = 19200;       // baud-rate code of the connection
    OpenReaderFunction open;    // used when no handle is given
};

struct ReaderReading {
    bool connected = false;
    OpenResult open; // the connection's result when the sequence opened it
    std::uint32_t features = 0;
    int baudCode = 19200;
    std::string modelName;

    std::optional<Bytes> parameterBlock; // block 6 as read
    int powerOnMode = -1;                // QnReadMode's value, -1 when it failed
    bool dtrSupported = false;
    std::uint8_t dtrMode = 0;
    // Serial readers: block 6 decoded, with current baud rate, power-on and DTR mode and the
    // remote host. Only meaningful when parameterBlock is set.
    ReaderParameters parameters;
    bool parametersDecoded = false;

    std::optional<Bytes> dataBlock; // block 1 as read
    ReaderConfiguration configuration;
    int dataRecords = 0; // records decoded from block 1

    std::optional<Bytes> prefix;    // block 2
    std::optional<Bytes> suffix;    // block 3
    std::optional<Bytes> pullOff;   // block 5
    std::optional<Bytes> separator; // block 4

    // Shown after the reading when the HID reader's own settings could not be read (151).
    std::optional<WorkflowMessage> hidMessage;
};

// Reads the whole configuration and closes the connection (mode 2, then close).
ReaderReading readConfiguration(ReaderLink& link, const ReadingInput& input,
                                const WorkflowCallbacks& callbacks = {});

// Whether a decoded record selects anything on its data page (and is therefore written).
bool recordSelectsSomething(const DataFormatRecord& record, bool firstPage);

// Puts a reading into the model as the pages show it: data records, parameters (the parameter
// page's defaults when the reader gave no usable parameter block; a keyboard reader's block as
// read), key sequences, the model name and whether the reader has the DTR mode. Parts the
// reader did not deliver keep what the model had.
void loadReading(ConfigurationModel& model, const ReaderReading& reading);

// --- Programming --------------------------------------------------------------------------

struct ProgrammingInput {
    std::string modelName;      // the model the configuration was made for (the sheet's)
    std::uint32_t features = 0; // the sheet's DeviceFeatures
    int baudCode = 19200;       // the stored interface setting
    OpenReaderFunction open;
    const FilterSettings* filters = nullptr; // defaults when absent
};

struct ProgrammingResult {
    bool success = false;
    WorkflowMessage message; // the final message: success, failure or why it stopped
    // Set once the connection was open (the open result, e.g. for a corrected baud rate).
    std::optional<OpenResult> open;
    // The reader's baud rate was changed: the caller stores this code as the interface setting.
    bool baudChanged = false;
    int baudCode = 0;
    // The reader was switched from programming mode to reader mode after the question.
    bool switchedToReaderMode = false;
};

ProgrammingResult programConfiguration(ReaderLink& link, ConfigurationSource& source,
                                       const ProgrammingInput& input,
                                       const WorkflowCallbacks& callbacks = {});

// The messages of the sequences, formatted in the current language.
WorkflowMessage modelMismatchMessage(const std::string& configured, const std::string& connected);
WorkflowMessage programmingFailedMessage();
WorkflowMessage programmingDoneMessage();
WorkflowMessage passwordInvalidMessage();
std::string programmingModeQuestion();

} // namespace veltra
