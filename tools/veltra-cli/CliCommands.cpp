#include "tools/veltra-cli/CliCommands.h"

#include "config/ConfigReport.h"
#include "config/ConfigurationModel.h"
#include "config/DeviceFeatures.h"
#include "config/MkrFile.h"
#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/ReaderReads.h"
#include "keys/workflow/DeviceLayout.h"
#include "keys/workflow/LayoutCheck.h"
#include "network/workflow/LanModuleSearch.h"
#include "network/workflow/LanSettings.h"
#include "resources/strings/StringTable.h"
#include "station/workflow/AuditLog.h"
#include "station/workflow/PortWatcher.h"
#include "station/workflow/ProductionStation.h"
#include "tools/veltra-cli/StationConsole.h"
#include "update/VersionList.h"
#include "update/workflow/CUpdateCheck.h"
#include "update/workflow/UpdateLine.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <thread>

namespace veltra {
namespace {

// String numbers of veltra-cli's own texts.
constexpr int kStrDeviceType = 74100;
constexpr int kStrFirmware = 74101;
constexpr int kStrModel = 74102;
constexpr int kStrFeatures = 74103;
constexpr int kStrPowerOnMode = 74104;
constexpr int kStrPowerOnNames = 74105; // 74105..74107
constexpr int kStrPowerOnSet = 74108;
constexpr int kStrSaved = 74109;
constexpr int kStrNotLoaded = 74111;
constexpr int kStrNewBaud = 74112;
constexpr int kStrUnknownCommand = 74113;
constexpr int kStrUnknownOption = 74114;
constexpr int kStrMissingValue = 74115;
constexpr int kStrInvalidValue = 74116;
constexpr int kStrMissingPort = 74117;
constexpr int kStrMissingFile = 74118;
constexpr int kStrHelp = 74150;
constexpr int kStrLanHelp = 78020;
constexpr int kStrLanReader = 78000;
constexpr int kStrLanOtherModule = 78001;
constexpr int kStrLanAddress = 78002;
constexpr int kStrLanDhcpName = 78003;
constexpr int kStrLanMask = 78004;
constexpr int kStrLanGateway = 78005;
constexpr int kStrLanPort = 78006;
constexpr int kStrLanNewAddress = 78007;
constexpr int kStrLanNotRead = 78008;
constexpr int kStrLanNotAnswering = 78009;
constexpr int kStrLanDhcpMode = 78010;
constexpr int kStrValidAddress = 10128;
constexpr int kStrAddressNotSet = 10130;
constexpr int kStrNothingFound = 10131;
constexpr int kStrDhcpNameTooLong = 78011;
constexpr int kStrStationHelp = 77060;
constexpr int kStrStationSummary = 77030;
constexpr int kStrLogNotWritten = 77032;
constexpr int kStrFolderNotWatched = 77033;
constexpr int kStrWaitingForReaders = 77034;
constexpr int kStrMissingPortOrWatch = 77035;
constexpr int kStrReaderFailed = 77050;

// Texts of the connection procedure and of the power-on dialog.
constexpr int kStrBaudCorrected = 290;
constexpr int kStrModeNotRead = 519;
constexpr int kStrProgrammingFailed = 139;
constexpr int kStrLayoutDiffers = 611;
constexpr int kStrNoConnection = 602;

// How long check-update waits for a version list; a stalled transfer ends well before.
constexpr int kListWaitMs = 120000;

// The program's texts use "\r\n" as line breaks; a terminal wants "\n".
std::string console(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t.toStdString();
}

std::string text(int id) {
    return console(str(id));
}

template <typename... Args>
std::string textf(int id, Args... args) {
    return console(strf(id, args...));
}

// A question: answered by --yes or --no, else asked on the terminal, else No.
bool answerQuestion(CliAnswer answer, CliEnvironment& env, const std::string& question) {
    switch (answer) {
    case CliAnswer::Yes:
        return true;
    case CliAnswer::No:
        return false;
    case CliAnswer::Ask:
        break;
    }
    return env.ask ? env.ask(console(QString::fromStdString(question))) : false;
}

std::optional<int> parseInt(const std::string& s) {
    if (s.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

bool needsPortAndFile(const std::string& command) {
    return command == "save" || command == "program" || command == "station";
}

class Session {
public:
    Session(const CliOptions& options, CliEnvironment& env) : options_(options), env_(env) {
        target_.connectionString = options.port;
        target_.kind = options.kind.value_or(interfaceKindFor(options.port));
        target_.baudCode = options.baudCode;
        target_.timeoutMs = options.timeoutMs;
        callbacks_.progress = [this](WorkflowStep step) {
            if (options_.verbose) {
                env_.err << stepText(step) << '\n';
            }
        };
        callbacks_.askYesNo = [this](const std::string& question) { return ask(question); };
        // Keyboard readers: their layout is read after the sheet's reading, with the layout
        // question answered like every other (--yes/--no), and programmed after the
        // parameters. A file without "HID_KEYS" programs the layout the reading settled on.
        callbacks_.readHidSettings = [this](ReaderLink& link, int handle) {
            KeyLayout layout;
            if (!checkReaderLayout(link, handle, layout, true, [this](int differences) {
                    return ask(strf(kStrLayoutDiffers, differences).toStdString());
                })) {
                return false;
            }
            readLayout_ = layout;
            return true;
        };
        callbacks_.writeHidSettings = [this](ReaderLink& link, int handle) {
            return !programLayout_ || ProgramLayout(link, handle, *programLayout_);
        };
    }

    bool ask(const std::string& question) {
        return answerQuestion(options_.answer, env_, question);
    }

    // The program's connection procedure; a corrected baud rate is announced (string 290) and
    // used for the rest of the session.
    OpenResult open() {
        OpenResult r = openReaderConnection(env_.link, target_);
        if (r.baudCorrected) {
            env_.err << textf(kStrBaudCorrected, r.baudCode) << '\n';
            target_.baudCode = r.baudCode;
        }
        return r;
    }

    // The message of a failed open, as the program shows it; a port that does not open at all
    // gets a text of its own here, since a shell user has no dialog to come back to.
    int openFailed(const OpenResult& r) {
        env_.err << console(QString::fromStdString(openFailureMessage(r, options_.port))) << '\n';
        return kExitFailed;
    }

    // Opening the sheet: connect, read everything, close.
    std::optional<ReaderReading> readSheet() {
        ReadingInput input;
        input.baudCode = target_.baudCode;
        input.open = [this] { return open(); };
        ReaderReading reading = readConfiguration(env_.link, input, callbacks_);
        if (!reading.connected) {
            openFailed(reading.open);
            return std::nullopt;
        }
        if (reading.hidMessage) {
            // Without the layout a keyboard reader's configuration would be incomplete.
            env_.err << console(QString::fromStdString(reading.hidMessage->text)) << '\n';
            return std::nullopt;
        }
        return reading;
    }

    int identify() {
        const OpenResult r = open();
        if (r.handle <= 0) {
            return openFailed(r);
        }
        closeReaderConnection(env_.link, r.handle);
        env_.out << textf(kStrDeviceType, r.identity.typeText.c_str()) << '\n'
                 << textf(kStrFirmware, firmwareText(r.identity.version).c_str()) << '\n'
                 << textf(kStrModel, r.identity.modelName.c_str()) << '\n'
                 << textf(kStrFeatures, static_cast<unsigned>(r.features)) << '\n';
        return kExitOk;
    }

    // The configuration report: the blocks straight from the reader, described in words.
    int report() {
        const OpenResult r = open();
        if (r.handle <= 0) {
            return openFailed(r);
        }
        ReaderLink& link = env_.link;
        // Reading stops at the first block that fails; what was read is still shown.
        const ReportReads reads = readReportBlocks(link, r.handle);
        const int error = reads.parameters ? 0 : link.lastError(r.handle);
        closeReaderConnection(link, r.handle);
        const ReportOutcome report = buildReport(reads);
        if (report.prefixFailed) {
            env_.err << console(readErrorText(error)) << '\n';
            return kExitFailed;
        }
        for (const QString& line : report.text.split(QStringLiteral("\r\n"))) {
            if (!line.trimmed().isEmpty()) {
                env_.out << console(line) << '\n';
            }
        }
        if (!report.complete) {
            // The dialog ends silently here; a shell user is told that the report is partial.
            env_.err << text(kStrModeNotRead) << '\n';
            return kExitFailed;
        }
        return kExitOk;
    }

    int mode() {
        const OpenResult r = open();
        if (r.handle <= 0) {
            return openFailed(r);
        }
        const int stored = env_.link.readMode(r.handle);
        if (stored < 0) {
            env_.err << text(kStrModeNotRead) << '\n';
        } else {
            const int index = powerOnIndexFromStored(stored);
            env_.out << textf(kStrPowerOnMode, stored, text(kStrPowerOnNames + index).c_str())
                     << '\n';
        }
        int status = stored < 0 ? kExitFailed : kExitOk;
        if (options_.setMode) {
            if (env_.link.setModeStored(r.handle, *options_.setMode) < 0) {
                env_.err << text(kStrProgrammingFailed) << '\n';
                status = kExitFailed;
            } else {
                env_.out << textf(kStrPowerOnSet, *options_.setMode) << '\n';
                status = kExitOk;
            }
        }
        closeReaderConnection(env_.link, r.handle);
        return status;
    }

    // The reader's configuration as the sheet shows it when it opens.
    std::optional<ConfigurationModel> readModel() {
        const std::optional<ReaderReading> reading = readSheet();
        if (!reading) {
            return std::nullopt;
        }
        ConfigurationModel model(reading->features);
        loadReading(model, *reading);
        if (model.isKeyboardReader()) {
            model.content().layout = readLayout_;
        }
        return model;
    }

    int refuse(const std::string& message) {
        env_.err << console(QString::fromStdString(message)) << '\n';
        return kExitFailed;
    }

    int save() {
        std::optional<ConfigurationModel> model = readModel();
        if (!model) {
            return kExitFailed;
        }
        const MkrSaveResult saved = model->saveFile(options_.file);
        if (!saved.written) {
            // A refused check has its own message; a file that cannot be written the system's.
            if (model->checkForSaving()) {
                return refuse(saved.errorText);
            }
            return refuse(strf(kStrFileNotSaved, saved.errorText.c_str()).toStdString());
        }
        env_.out << textf(kStrSaved, options_.file.c_str()) << '\n';
        return kExitOk;
    }

    // A command line has no page to go back to: the whole file is checked before the reader is
    // written, and any refusal writes nothing.
    int program() {
        std::optional<ConfigurationModel> model = readModel();
        if (!model) {
            return kExitFailed;
        }
        const MkrLoadResult loaded = model->loadFile(
            options_.file, [this](const std::string& fileModel, const std::string& connectedModel) {
                return ask(otherModelQuestion(fileModel, connectedModel).toStdString());
            });
        if (loaded.status == MkrLoadStatus::OtherModel) {
            env_.err << text(kStrNotLoaded) << '\n';
            return kExitFailed;
        }
        if (loaded.status != MkrLoadStatus::Loaded) {
            env_.err << console(loadRefusalMessage(loaded, options_.file)) << '\n';
            return kExitFailed;
        }
        if (!loaded.messages.empty()) {
            for (int id : loaded.messages) {
                env_.err << text(id) << '\n';
            }
            env_.err << text(kStrNotLoaded) << '\n';
            return kExitFailed;
        }
        if (const std::optional<WorkflowMessage> refusal = model->checkForProgramming()) {
            return refuse(refusal->text);
        }

        programLayout_ = model->content().layout;
        ProgrammingInput input;
        input.modelName = model->modelName();
        input.features = model->features();
        input.baudCode = target_.baudCode;
        input.filters = &env_.filters;
        input.open = [this] { return open(); };
        const ProgrammingResult result = programConfiguration(env_.link, *model, input, callbacks_);
        if (result.baudChanged) {
            env_.err << textf(kStrNewBaud, result.baudCode, result.baudCode) << '\n';
        }
        if (!result.success) {
            return refuse(result.message.text);
        }
        env_.out << console(QString::fromStdString(result.message.text)) << '\n';
        return kExitOk;
    }

    // The about box's update lines: the program's, and with --port the reader's.
    int checkUpdate() {
        const UpdateSource source = updateSource();
        const std::unique_ptr<CUpdateCheck> program = CUpdateCheck::forProgram(source);
        const std::unique_ptr<CUpdateCheck> device = CUpdateCheck::forDevice(source);
        device->StartDownload(nullptr, 0);
        program->StartDownload(nullptr, 0);
        bool readerChecked = true;
        if (!options_.port.empty()) {
            readerChecked = identifyForUpdate(*device);
        }
        program->waitForList(kListWaitMs);
        const UpdateLine programLine = programUpdateLine(*program);
        env_.out << console(programLine.text) << '\n';
        bool newer = programLine.state == UpdateLine::State::Newer;
        bool checked = programLine.state == UpdateLine::State::Newer ||
                       programLine.state == UpdateLine::State::Current;
        if (!options_.port.empty() && readerChecked) {
            device->waitForList(kListWaitMs);
            const UpdateLine deviceLine = deviceUpdateLine(*device);
            env_.out << console(deviceLine.text) << '\n';
            newer = newer || deviceLine.state == UpdateLine::State::Newer;
            if (!VersionList(device->listText()).parses()) {
                // The line cannot tell: without the reader list nothing is known about it.
                env_.err << text(kStrNoConnection) << '\n';
                checked = false;
            }
        }
        if (!readerChecked) {
            // No download is left running when the program ends.
            device->waitForList(kListWaitMs);
        }
        if (newer) {
            return kExitUpdateListed;
        }
        return checked && readerChecked ? kExitOk : kExitFailed;
    }

private:
    // Opens the reader, takes its identity for the reader check and closes it again.
    bool identifyForUpdate(CUpdateCheck& device) {
        const OpenResult r = open();
        if (r.handle <= 0) {
            openFailed(r);
            return false;
        }
        QString kind = QStringLiteral("COM");
        if (env_.link.isHidConnection(r.handle) == 1) {
            kind = QStringLiteral("USB");
        } else if (env_.link.isLanConnection(r.handle) == 1) {
            kind = QStringLiteral("LAN");
        }
        closeReaderConnection(env_.link, r.handle);
        const unsigned version = r.identity.version == 255 ? 0 : r.identity.version;
        device.setDeviceIdentity(QString::fromStdString(r.identity.modelName), kind,
                                 QString::fromStdString(r.identity.typeText),
                                 QString::asprintf("1.%02u", version));
        return true;
    }

    const CliOptions& options_;
    CliEnvironment& env_;
    ConnectionTarget target_;
    WorkflowCallbacks callbacks_;
    std::optional<KeyLayout> readLayout_;    // a keyboard reader's layout after the reading
    std::optional<KeyLayout> programLayout_; // the layout to program
};

} // namespace

InterfaceKind interfaceKindFor(const std::string& port) {
    // Without the bus address: a ":" followed by decimal digits at the end.
    std::string name = port;
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos && colon + 1 < name.size() &&
        name.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        name.resize(colon);
    }
    // Device paths are serial ports, also the stable names under /dev/serial/by-id and
    // by-path, whose dots and maker texts ("HID") would pass for another kind.
    if (name.starts_with("/dev/")) {
        return InterfaceKind::Serial;
    }
    if (!name.empty() && name.front() == '[') {
        return InterfaceKind::Lan;
    }
    int dots = 0;
    for (char c : name) {
        dots += c == '.' ? 1 : 0;
    }
    if (dots >= 3) {
        return InterfaceKind::Lan;
    }
    if (name.find("HID") != std::string::npos) {
        return InterfaceKind::Hid;
    }
    return InterfaceKind::Serial;
}

std::string cliHelpText() {
    return text(kStrHelp) + "\n" + text(kStrLanHelp) + "\n" + text(kStrStationHelp);
}

namespace {

int lanSearch(CliEnvironment& env) {
    const auto list = LanModuleSearch::run(env.link);
    if (list.empty()) {
        env.err << text(kStrNothingFound) << '\n';
        return kExitFailed;
    }
    for (const auto& entry : list) {
        env.out << textf(entry.number == LanModuleEntry::kReader ? kStrLanReader
                                                                 : kStrLanOtherModule,
                         entry.name.c_str())
                << '\n';
    }
    return kExitOk;
}

int lanShow(const CliOptions& o, CliEnvironment& env) {
    LanSettings settings;
    if (!settings.read(env.link, o.lanTarget)) {
        env.err << textf(kStrLanNotRead, o.lanTarget.c_str()) << '\n';
        return kExitFailed;
    }
    if (settings.mode == LanSettings::kDhcp) {
        env.out << text(kStrLanDhcpMode) << '\n';
    } else {
        env.out << textf(kStrLanAddress, settings.address.c_str()) << '\n';
    }
    env.out << textf(kStrLanDhcpName, settings.dhcpName.c_str()) << '\n'
            << textf(kStrLanPort, settings.port) << '\n'
            << textf(kStrLanMask, settings.subnetMask.c_str()) << '\n'
            << textf(kStrLanGateway, settings.gateway.c_str()) << '\n';
    return kExitOk;
}

int lanSet(const CliOptions& o, CliEnvironment& env) {
    // The current settings give the port and, for DHCP without --name, the module name.
    LanSettings settings;
    if (!settings.read(env.link, o.lanTarget)) {
        env.err << textf(kStrLanNotRead, o.lanTarget.c_str()) << '\n';
        return kExitFailed;
    }
    if (o.lanAddress == "dhcp") {
        settings.mode = LanSettings::kDhcp;
        if (!o.lanName.empty()) {
            settings.dhcpName = o.lanName;
        }
    } else {
        settings.mode = LanSettings::kFixedAddress;
        const auto dash = o.lanAddress.find('-');
        settings.address = o.lanAddress.substr(0, dash);
        if (dash != std::string::npos) {
            const std::optional<int> port = parseInt(o.lanAddress.substr(dash + 1));
            if (!port || *port < 1 || *port > 65535) {
                env.err << text(kStrValidAddress) << '\n';
                return kExitUsage;
            }
            settings.port = *port;
        }
    }
    std::string newName;
    switch (settings.newName(newName)) {
    case LanSettings::Refusal::DhcpNameTooLong:
        env.err << text(kStrDhcpNameTooLong) << '\n';
        return kExitUsage;
    case LanSettings::Refusal::InvalidAddress:
        env.err << text(kStrValidAddress) << '\n';
        return kExitUsage;
    case LanSettings::Refusal::None:
        break;
    }
    const std::string mask = o.lanMask.empty() ? settings.subnetMask : o.lanMask;
    const std::string gateway = o.lanGateway.empty() ? settings.gateway : o.lanGateway;
    if (env.link.lanSetAddress(o.lanTarget.c_str(), newName.c_str(), mask.c_str(),
                               gateway.c_str()) != 0) {
        env.err << text(kStrAddressNotSet) << '\n';
        return kExitFailed;
    }
    // As the settings dialog does: up to 25 s for the reader to answer at its new name.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(25);
    bool answered = env.link.pingLanDevice(newName.c_str()) != 0;
    while (!answered && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        answered = env.link.pingLanDevice(newName.c_str()) != 0;
    }
    env.out << textf(kStrLanNewAddress, LanModuleSearch::interfaceName(newName).c_str()) << '\n';
    if (!answered) {
        env.err << text(kStrLanNotAnswering) << '\n';
    }
    return kExitOk;
}

// The production station: every --port at once, or every reader that appears in the watched
// folder, each programmed, verified and logged; a summary at the end.
int runStation(const CliOptions& o, CliEnvironment& env) {
    AuditLog log;
    if (!o.logPath.empty() && !log.open(o.logPath)) {
        env.err << textf(kStrLogNotWritten, o.logPath.c_str(), log.error().c_str()) << '\n';
        return kExitFailed;
    }
    StationSettings settings;
    settings.mkrPath = o.file;
    settings.baudCode = o.baudCode;
    settings.timeoutMs = o.timeoutMs;
    settings.kindOf = [kind = o.kind](const std::string& port) {
        return kind.value_or(interfaceKindFor(port));
    };
    settings.ask = [&o, &env](const std::string& question) {
        return answerQuestion(o.answer, env, question);
    };
    settings.filters = &env.filters;
    ProductionStation station(env.link, settings);
    std::string error;
    if (!station.prepare(error)) {
        env.err << error << '\n';
        return kExitFailed;
    }
    if (log.isOpen()) {
        station.setLog(&log);
    }
    StationConsole progress(env.out, env.outIsTerminal, env.terminalWidth);
    std::vector<AuditRecord> failures;
    station.onProgress([&](const std::string& port, StationPhase phase, const std::string& detail) {
        std::string line = stationPhaseText(phase);
        if (!detail.empty()) {
            line += ": " + detail;
        }
        progress.update(port, line);
    });
    station.onFinished([&](const AuditRecord& record) {
        if (!record.ok) {
            failures.push_back(record);
        }
    });
    if (o.watch) {
        PortWatcher watcher(o.watchDir.empty() ? PortWatcher::kSerialById : o.watchDir);
        if (o.watchDir.empty()) {
            watcher.watchHidReaders(env.link);
        }
        if (!watcher.usable()) {
            env.err << textf(kStrFolderNotWatched, watcher.folder().c_str()) << '\n';
            return kExitFailed;
        }
        env.err << textf(kStrWaitingForReaders, watcher.folder().c_str()) << '\n';
        station.watch(watcher, o.count, env.stopRequested);
    } else {
        std::vector<std::string> ports = o.ports;
        if (o.count > 0 && ports.size() > static_cast<std::size_t>(o.count)) {
            ports.resize(static_cast<std::size_t>(o.count));
        }
        station.programReaders(ports);
    }
    for (const AuditRecord& r : failures) {
        env.err << textf(kStrReaderFailed, r.port.c_str(), stationStepText(r.step).c_str(),
                         r.message.c_str())
                << '\n';
    }
    env.out << textf(kStrStationSummary, station.passed(), station.failed()) << '\n';
    return station.failed() == 0 && station.passed() > 0 ? kExitOk : kExitFailed;
}

} // namespace

CliParse parseCliArguments(const std::vector<std::string>& args) {
    CliParse parse;
    CliOptions o;
    std::vector<std::string> positional;
    auto fail = [&parse](std::string message) {
        parse.error = std::move(message);
        return parse;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                return false;
            }
            into = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--yes") {
            o.answer = CliAnswer::Yes;
        } else if (arg == "--no") {
            o.answer = CliAnswer::No;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "--watch") {
            o.watch = true;
        } else if (arg == "--watch-dir" || arg == "--log" || arg == "--count") {
            if (!value(v)) {
                return fail(textf(kStrMissingValue, arg.c_str()));
            }
            if (arg == "--watch-dir") {
                o.watch = true;
                o.watchDir = v;
            } else if (arg == "--log") {
                o.logPath = v;
            } else {
                const std::optional<int> number = parseInt(v);
                if (!number || *number < 1) {
                    return fail(textf(kStrInvalidValue, arg.c_str(), v.c_str()));
                }
                o.count = *number;
            }
        } else if (arg == "--address" || arg == "--mask" || arg == "--gateway" || arg == "--name") {
            if (!value(v)) {
                return fail(textf(kStrMissingValue, arg.c_str()));
            }
            (arg == "--address"   ? o.lanAddress
             : arg == "--mask"    ? o.lanMask
             : arg == "--gateway" ? o.lanGateway
                                  : o.lanName) = v;
        } else if (arg == "--port" || arg == "--baud" || arg == "--timeout" || arg == "--set" ||
                   arg == "--lang" || arg == "--interface") {
            if (!value(v)) {
                return fail(textf(kStrMissingValue, arg.c_str()));
            }
            if (arg == "--port") {
                o.port = v;
                o.ports.push_back(v);
                continue;
            }
            if (arg == "--lang") {
                if (v != "de" && v != "en") {
                    return fail(textf(kStrInvalidValue, arg.c_str(), v.c_str()));
                }
                o.language = v;
                continue;
            }
            if (arg == "--interface") {
                if (v == "serial") {
                    o.kind = InterfaceKind::Serial;
                } else if (v == "vcom") {
                    o.kind = InterfaceKind::MakerVirtualCom;
                } else if (v == "hid") {
                    o.kind = InterfaceKind::Hid;
                } else if (v == "lan") {
                    o.kind = InterfaceKind::Lan;
                } else {
                    return fail(textf(kStrInvalidValue, arg.c_str(), v.c_str()));
                }
                continue;
            }
            const std::optional<int> number = parseInt(v);
            const bool valid =
                number && ((arg == "--baud" && *number > 0) ||
                           (arg == "--timeout" && *number >= 10 && *number <= 300000) ||
                           (arg == "--set" && (*number == 0 || *number == 1 || *number == 3)));
            if (!valid) {
                return fail(textf(kStrInvalidValue, arg.c_str(), v.c_str()));
            }
            if (arg == "--baud") {
                o.baudCode = *number;
            } else if (arg == "--timeout") {
                o.timeoutMs = *number;
            } else {
                o.setMode = *number;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail(textf(kStrUnknownOption, arg.c_str()));
        } else {
            positional.push_back(arg);
        }
    }
    if (o.help) {
        parse.options = o;
        return parse;
    }
    if (positional.empty()) {
        return fail(textf(kStrUnknownCommand, ""));
    }
    o.command = positional[0];
    if (o.command == "lan") {
        o.lanCommand = positional.size() > 1 ? positional[1] : std::string();
        const std::size_t wanted = o.lanCommand == "search" ? 2 : 3;
        if (o.lanCommand != "search" && o.lanCommand != "show" && o.lanCommand != "set") {
            return fail(textf(kStrUnknownCommand, ("lan " + o.lanCommand).c_str()));
        }
        if (positional.size() < wanted) {
            return fail(text(kStrMissingPort));
        }
        if (positional.size() > wanted) {
            return fail(textf(kStrUnknownOption, positional[wanted].c_str()));
        }
        if (wanted == 3) {
            o.lanTarget = positional[2];
        }
        if (o.lanCommand == "set" && o.lanAddress.empty()) {
            return fail(textf(kStrMissingValue, "--address"));
        }
        parse.options = o;
        return parse;
    }
    if (o.command != "identify" && o.command != "report" && o.command != "save" &&
        o.command != "program" && o.command != "mode" && o.command != "check-update" &&
        o.command != "station") {
        return fail(textf(kStrUnknownCommand, o.command.c_str()));
    }
    const std::size_t expected = needsPortAndFile(o.command) ? 2 : 1;
    if (positional.size() < expected) {
        return fail(text(kStrMissingFile));
    }
    if (positional.size() > expected) {
        return fail(textf(kStrUnknownOption, positional[expected].c_str()));
    }
    if (expected == 2) {
        o.file = positional[1];
    }
    if (o.command == "station") {
        if (o.ports.empty() && !o.watch) {
            return fail(text(kStrMissingPortOrWatch));
        }
        parse.options = o;
        return parse;
    }
    if (o.port.empty() && o.command != "check-update") {
        return fail(text(kStrMissingPort));
    }
    parse.options = o;
    return parse;
}

int runCliCommand(const CliOptions& options, CliEnvironment& env) {
    if (options.help) {
        env.out << cliHelpText() << '\n';
        return kExitOk;
    }
    if (options.command == "lan") {
        if (options.lanCommand == "search") {
            return lanSearch(env);
        }
        return options.lanCommand == "show" ? lanShow(options, env) : lanSet(options, env);
    }
    if (options.command == "station") {
        return runStation(options, env);
    }
    Session session(options, env);
    if (options.command == "identify") {
        return session.identify();
    }
    if (options.command == "mode") {
        return session.mode();
    }
    if (options.command == "report") {
        return session.report();
    }
    if (options.command == "save") {
        return session.save();
    }
    if (options.command == "program") {
        return session.program();
    }
    if (options.command == "check-update") {
        return session.checkUpdate();
    }
    env.err << textf(kStrUnknownCommand, options.command.c_str()) << '\n';
    return kExitUsage;
}

} // namespace veltra
