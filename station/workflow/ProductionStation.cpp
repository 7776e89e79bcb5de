#include "station/workflow/ProductionStation.h"

#include "config/ConfigurationModel.h"
#include "config/DeviceFeatures.h"
#include "config/MkrFile.h"
#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/ReaderReads.h"
#include "keys/workflow/DeviceLayout.h"
#include "keys/workflow/LayoutCheck.h"
#include "resources/strings/StringTable.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

namespace veltra {
namespace {

constexpr int kStrConnecting = 77000;
constexpr int kStrProgramming = 77001;
constexpr int kStrVerifying = 77002;
constexpr int kStrDone = 77003;
constexpr int kStrFailed = 77004;
constexpr int kStrCheckingModel = 77005;
constexpr int kStrBlockDiffers = 77010;
constexpr int kStrBlockNotRead = 77011;
constexpr int kStrPowerOnDiffers = 77012;
constexpr int kStrPowerOnNotRead = 77013;
constexpr int kStrLayoutDiffers = 77014;
constexpr int kStrLayoutNotRead = 77015;
constexpr int kStrVerifyFailed = 77016;
// Blocks 1..6: data, prefix, suffix, separator, pull-off, parameters.
constexpr int kStrBlockNameFirst = 77020;
constexpr int kStrFileNotRead = 77031;
constexpr int kStrLogNotWritten = 77032;

// The layout question of a keyboard reader.
constexpr int kStrTakeComputerLayout = 611;

// Read buffers: the parameter block holds 4 bytes, the others up to 255.
constexpr int kParameterBlockBuffer = 4;
constexpr int kBlockBuffer = 255;

std::string oneLine(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t.trimmed().toStdString();
}

std::string hexBytes(const std::vector<unsigned char>& bytes) {
    std::string out;
    char buffer[4];
    for (unsigned char b : bytes) {
        std::snprintf(buffer, sizeof buffer, out.empty() ? "%02X" : " %02X", b);
        out += buffer;
    }
    return out;
}

// The block's name as the sheet's pages call it.
std::string blockName(int block) {
    return str(kStrBlockNameFirst + block - 1).toStdString();
}

// A reader's link in a watched folder outside /dev is opened through the device it points to;
// the device link takes other paths for FTDI serial numbers. Paths under /dev (the stable
// names in /dev/serial/by-id included) and library port names stay as they are.
std::string devicePathOf(const std::string& port) {
    if (!port.starts_with('/') || port.starts_with("/dev/")) {
        return port;
    }
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(port, error);
    return error ? port : device.string();
}

std::string nowIso() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

// Why a reader failed: its step (a fixed word for the log) and the message.
struct Failure {
    std::string step;
    std::string message;
};

} // namespace

std::string stationPhaseText(StationPhase phase) {
    switch (phase) {
    case StationPhase::Connecting:
        return str(kStrConnecting).toStdString();
    case StationPhase::CheckingModel:
        return str(kStrCheckingModel).toStdString();
    case StationPhase::Programming:
        return str(kStrProgramming).toStdString();
    case StationPhase::Verifying:
        return str(kStrVerifying).toStdString();
    case StationPhase::Done:
        return str(kStrDone).toStdString();
    case StationPhase::Failed:
        break;
    }
    return str(kStrFailed).toStdString();
}

std::string stationStepText(const std::string& step) {
    if (step == "connect") {
        return stationPhaseText(StationPhase::Connecting);
    }
    if (step == "check-model") {
        return stationPhaseText(StationPhase::CheckingModel);
    }
    if (step == "program") {
        return stationPhaseText(StationPhase::Programming);
    }
    if (step == "verify") {
        return stationPhaseText(StationPhase::Verifying);
    }
    return step;
}

std::string blockDifference(int block, const std::vector<unsigned char>& written,
                            const std::optional<std::vector<unsigned char>>& read) {
    if (!read) {
        return oneLine(strf(kStrBlockNotRead, block, blockName(block).c_str()));
    }
    return oneLine(strf(kStrBlockDiffers, block, blockName(block).c_str(),
                        hexBytes(written).c_str(), hexBytes(*read).c_str()));
}

ProductionStation::ProductionStation(ReaderLink& link, StationSettings settings)
    : link_(link), settings_(std::move(settings)) {}

bool ProductionStation::prepare(std::string& error) {
    QFile file(QString::fromStdString(settings_.mkrPath));
    if (!file.open(QIODevice::ReadOnly)) {
        error = oneLine(strf(kStrFileNotRead, settings_.mkrPath.c_str()));
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        error = oneLine(strf(kStrFileNotRead, settings_.mkrPath.c_str()));
        return false;
    }
    fileSha256_ = hash.result().toHex().toStdString();
    fileName_ = QFileInfo(file).fileName().toStdString();
    return true;
}

void ProductionStation::report(const std::string& port, StationPhase phase,
                               const std::string& detail) {
    std::lock_guard lock(callbackMutex_);
    if (progress_) {
        progress_(port, phase, detail);
    }
}

bool ProductionStation::askLocked(const std::string& question) {
    std::lock_guard lock(askMutex_);
    return settings_.ask ? settings_.ask(question) : false;
}

void ProductionStation::finish(AuditRecord& record, double seconds) {
    record.seconds = seconds;
    record.time = nowIso();
    // A reader without its line in the log has no proof of what went into it: it fails.
    if (log_ != nullptr && !log_->append(record)) {
        unlogged_.fetch_add(1);
        if (record.ok) {
            record.ok = false;
            record.step = "log";
            record.message =
                oneLine(strf(kStrLogNotWritten, log_->path().c_str(), log_->error().c_str()));
        }
    }
    (record.ok ? passed_ : failed_).fetch_add(1);
    report(record.port, record.ok ? StationPhase::Done : StationPhase::Failed, record.message);
    std::lock_guard lock(callbackMutex_);
    if (finished_) {
        finished_(record);
    }
}

AuditRecord ProductionStation::programReader(const std::string& port) {
    const auto started = std::chrono::steady_clock::now();
    AuditRecord record;
    record.port = port;
    record.file = fileName_;
    record.fileSha256 = fileSha256_;

    ConnectionTarget target;
    target.connectionString = devicePathOf(port);
    target.kind = settings_.kindOf ? settings_.kindOf(port) : InterfaceKind::Serial;
    target.baudCode = settings_.baudCode;
    target.timeoutMs = settings_.timeoutMs;
    // A found baud rate is kept for the later connections to this reader.
    auto open = [&] {
        OpenResult r = openReaderConnection(link_, target);
        if (r.handle > 0 && r.baudCorrected) {
            target.baudCode = r.baudCode;
        }
        return r;
    };

    std::optional<KeyLayout> readLayout;
    std::optional<KeyLayout> programLayout;
    WorkflowCallbacks callbacks;
    callbacks.askYesNo = [this](const std::string& q) { return askLocked(q); };
    callbacks.readHidSettings = [&](ReaderLink& link, int handle) {
        KeyLayout layout;
        if (!checkReaderLayout(link, handle, layout, true, [this](int differences) {
                return askLocked(strf(kStrTakeComputerLayout, differences).toStdString());
            })) {
            return false;
        }
        readLayout = layout;
        return true;
    };
    callbacks.writeHidSettings = [&](ReaderLink& link, int handle) {
        return !programLayout || ProgramLayout(link, handle, *programLayout);
    };

    auto fail = [&](Failure failure) {
        record.ok = false;
        record.step = std::move(failure.step);
        record.message = std::move(failure.message);
        finish(record,
               std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        return record;
    };

    // Connect and read what the reader holds, as the sheet does when it opens.
    report(port, StationPhase::Connecting);
    ReadingInput input;
    input.baudCode = target.baudCode;
    input.open = open;
    const ReaderReading reading = readConfiguration(link_, input, callbacks);
    record.model = reading.open.identity.modelName;
    record.typeCode = reading.open.identity.typeText;
    if (reading.open.handle > 0) {
        record.firmware = firmwareText(reading.open.identity.version);
    }
    if (!reading.connected) {
        return fail(
            {"connect", oneLine(QString::fromStdString(openFailureMessage(reading.open, port)))});
    }
    if (reading.hidMessage) {
        return fail({"connect", oneLine(QString::fromStdString(reading.hidMessage->text))});
    }

    // The file, with the sheet's checks, against the connected model.
    report(port, StationPhase::CheckingModel);
    ConfigurationModel model(reading.features);
    loadReading(model, reading);
    if (model.isKeyboardReader()) {
        model.content().layout = readLayout;
    }
    const MkrLoadResult loaded = model.loadFile(
        settings_.mkrPath, [this](const std::string& fileModel, const std::string& connected) {
            return askLocked(otherModelQuestion(fileModel, connected).toStdString());
        });
    if (loaded.status == MkrLoadStatus::OtherModel) {
        return fail(
            {"check-model", modelMismatchMessage(loaded.fileModel, reading.modelName).text});
    }
    if (loaded.status != MkrLoadStatus::Loaded) {
        return fail({"check-model", oneLine(loadRefusalMessage(loaded, settings_.mkrPath))});
    }
    if (!loaded.messages.empty()) {
        std::string text;
        for (int id : loaded.messages) {
            text += (text.empty() ? "" : " ") + oneLine(str(id));
        }
        return fail({"check-model", text});
    }
    if (const std::optional<WorkflowMessage> refusal = model.checkForProgramming()) {
        return fail({"check-model", oneLine(QString::fromStdString(refusal->text))});
    }

    // Programming: the sheet's sequence.
    report(port, StationPhase::Programming);
    programLayout = model.content().layout;
    WorkflowStep lastStep = WorkflowStep::Connect;
    callbacks.progress = [&](WorkflowStep step) {
        if (step != WorkflowStep::Close) {
            lastStep = step;
            report(port, StationPhase::Programming, stepText(step));
        }
    };
    ProgrammingInput programming;
    programming.modelName = model.modelName();
    programming.features = model.features();
    programming.baudCode = target.baudCode;
    programming.filters = settings_.filters;
    programming.open = open;
    const ProgrammingResult result = programConfiguration(link_, model, programming, callbacks);
    if (result.baudChanged) {
        target.baudCode = result.baudCode;
    }
    if (!result.success) {
        return fail({"program", stepText(lastStep) + ": " +
                                    oneLine(QString::fromStdString(result.message.text))});
    }

    // Verification: everything read back and compared with what was written.
    report(port, StationPhase::Verifying);
    const OpenResult reopened = open();
    if (reopened.handle <= 0) {
        return fail(
            {"verify", oneLine(QString::fromStdString(openFailureMessage(reopened, port)))});
    }
    const int handle = reopened.handle;
    const std::uint32_t features = model.features();
    const ReaderConfiguration& written = model.configuration();
    const std::pair<int, Bytes> expected[] = {{1, encodeDataBlock(written, features)},
                                              {2, model.prefixBlock()},
                                              {3, model.suffixBlock()},
                                              {4, model.separatorBlock()},
                                              {5, model.pullOffBlock()},
                                              {6, encodeParameterBlock(written.parameters)}};
    for (const auto& [block, bytes] : expected) {
        std::optional<Bytes> read =
            readBlock(link_, handle, block, block == 6 ? kParameterBlockBuffer : kBlockBuffer);
        bool same = read && *read == bytes;
        // A reader with two outputs keeps its second record when only the first was written.
        if (read && block == 1 && read->size() > bytes.size()) {
            same = std::equal(bytes.begin(), bytes.end(), read->begin());
        }
        if (!same) {
            record.differences.push_back(blockDifference(block, bytes, read));
        }
    }
    const bool hid = model.isKeyboardReader();
    if ((features & feature::PowerOnMode) != 0) {
        const int index = hid ? model.hidPowerOnMode() : written.parameters.powerOnMode;
        if (result.switchedToReaderMode || (index >= 0 && index <= 2)) {
            const int wanted = result.switchedToReaderMode ? 1 : powerOnStoredValueFor(index);
            const int stored = link_.readMode(handle);
            if (stored < 0) {
                record.differences.push_back(oneLine(str(kStrPowerOnNotRead)));
            } else if (stored != wanted) {
                record.differences.push_back(oneLine(strf(kStrPowerOnDiffers, wanted, stored)));
            }
        }
    }
    if (hid && programLayout) {
        KeyLayout now;
        if (!ReadDeviceLayout(link_, handle, now)) {
            record.differences.push_back(oneLine(str(kStrLayoutNotRead)));
        } else if (const int n = CountLayoutDifferences(*programLayout, now); n > 0) {
            record.differences.push_back(oneLine(strf(kStrLayoutDiffers, n)));
        }
    }
    closeReaderConnection(link_, handle);
    if (!record.differences.empty()) {
        std::string message = oneLine(str(kStrVerifyFailed));
        for (const std::string& d : record.differences) {
            message += " " + d;
        }
        return fail({"verify", message});
    }
    record.ok = true;
    finish(record,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return record;
}

std::vector<AuditRecord> ProductionStation::programReaders(const std::vector<std::string>& ports) {
    std::vector<AuditRecord> records(ports.size());
    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        threads.emplace_back([this, &records, &ports, i] { records[i] = programReader(ports[i]); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return records;
}

void ProductionStation::watch(PortWatcher& watcher, int count,
                              const std::function<bool()>& stopRequested) {
    // How often the folder is looked at: a reader starts within a fifth of a second.
    constexpr auto kPollInterval = std::chrono::milliseconds(200);
    std::vector<std::thread> threads;
    int started = 0;
    while ((count <= 0 || started < count) && !(stopRequested && stopRequested())) {
        for (const std::string& port : watcher.newPorts()) {
            if (count > 0 && started >= count) {
                break;
            }
            ++started;
            threads.emplace_back([this, port] { programReader(port); });
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

} // namespace veltra
