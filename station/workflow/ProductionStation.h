// The production station: one .mkr file programmed into reader after reader. Each reader is
// connected (with the baud-rate search), checked against the file's model, programmed by the
// configuration sheet's own sequence with every check it makes, then read back whole and
// compared with what was written, block by block (a keyboard reader's layout too), and recorded
// in the audit log. A reader that fails is reported with its step and message; the others go on.
// Readers run on threads of their own, each with its own connection; the station is free of
// widgets, so veltra-cli and the program's dialog drive it alike.
#pragma once

#include "config/workflow/ReaderConnector.h"
#include "config/workflow/ReaderLink.h"
#include "station/workflow/AuditLog.h"
#include "station/workflow/PortWatcher.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace veltra {

class FilterSettings;

// Where a reader is; Failed and Done are final.
enum class StationPhase { Connecting, CheckingModel, Programming, Verifying, Done, Failed };

// The phase's text in the current language.
std::string stationPhaseText(StationPhase phase);
// The text of a failing step as the log names it ("connect", "check-model", "program",
// "verify", "log"), in the current language.
std::string stationStepText(const std::string& step);

struct StationSettings {
    std::string mkrPath;
    int baudCode = 19200; // the code tried first; the baud search finds any other
    int timeoutMs = 300;
    // Interface kind of a port; by default derived from its name by the caller's rule.
    std::function<InterfaceKind(const std::string& port)> kindOf;
    // The questions (another model in the file, switching to reader mode). Called from the
    // readers' threads, one question at a time. No function answers No.
    std::function<bool(const std::string& question)> ask;
    const FilterSettings* filters = nullptr; // defaults when absent
};

class ProductionStation {
public:
    // Called from the readers' threads, one call at a time, whenever a reader changes phase;
    // `detail` is the workflow step's text while programming.
    using ProgressFunction =
        std::function<void(const std::string& port, StationPhase phase, const std::string& detail)>;
    // Called once per finished reader (after its log line is written), one call at a time.
    using FinishedFunction = std::function<void(const AuditRecord& record)>;

    ProductionStation(ReaderLink& link, StationSettings settings);

    // Reads the file once for its name and SHA-256. False with the message when it cannot be
    // read; nothing is programmed then.
    bool prepare(std::string& error);

    void setLog(AuditLog* log) { log_ = log; }
    void onProgress(ProgressFunction f) { progress_ = std::move(f); }
    void onFinished(FinishedFunction f) { finished_ = std::move(f); }

    // One reader, on the calling thread. The record is also logged and counted.
    AuditRecord programReader(const std::string& port);
    // Several readers at once, each on a thread of its own; returns when all are done, the
    // records in the order of `ports`.
    std::vector<AuditRecord> programReaders(const std::vector<std::string>& ports);

    // Programs every reader that appears in the watcher's folder, each on a thread of its own,
    // until `count` readers (0: no limit) have been started and are finished, or until
    // `stopRequested` says so; readers in progress are finished first.
    void watch(PortWatcher& watcher, int count, const std::function<bool()>& stopRequested);

    int passed() const { return passed_.load(); }
    int failed() const { return failed_.load(); }
    // Records the log could not take (disk full, file gone); each such reader counts as failed.
    int unlogged() const { return unlogged_.load(); }

private:
    void report(const std::string& port, StationPhase phase, const std::string& detail = {});
    bool askLocked(const std::string& question);
    void finish(AuditRecord& record, double seconds);

    ReaderLink& link_;
    StationSettings settings_;
    std::string fileName_;
    std::string fileSha256_;
    AuditLog* log_ = nullptr;
    ProgressFunction progress_;
    FinishedFunction finished_;
    std::mutex callbackMutex_;
    std::mutex askMutex_;
    std::atomic<int> passed_{0};
    std::atomic<int> failed_{0};
    std::atomic<int> unlogged_{0};
};

// The differences between what was meant to be written and what a reader holds, each as one
// line naming the block ("Block 3 (suffix): written 0D 0A FF, read 0D 0A FE").
std::string blockDifference(int block, const std::vector<unsigned char>& written,
                            const std::optional<std::vector<unsigned char>>& read);

} // namespace veltra
