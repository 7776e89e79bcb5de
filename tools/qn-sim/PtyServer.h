// The reader's serial face: a pseudo-terminal whose slave side a client opens like a serial
// port. The server reads what the client writes, finds request frames, lets the reader model
// answer and writes the reply back, optionally at the line's wire speed and optionally damaged
// on purpose. In reader mode it also sends transponder telegrams.
#pragma once

#include "ReaderModel.h"
#include "SimFrame.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace qnsim {

enum class Fault { None, BadCheck, Garbage, HeaderOnly, Silent, Split };

// Parses the fault names of the command line: bad-check, garbage, header-only, silent, split.
std::optional<Fault> parseFault(const std::string& name);

struct ServerOptions {
    bool acceptStx = true;
    bool acceptCrc = true;
    std::uint8_t address = 1;
    bool pace = false;                  // send reply bytes at 10 bit times each
    std::optional<std::uint8_t> status; // answer with this status instead of the reader's
    Fault fault = Fault::None;
    std::optional<std::uint8_t> faultCommand; // --status/--fault only for this command
    long faultCount = -1;                     // apply them to this many requests; -1 = all
    std::string telegram = "0415E3A2C7\r\n";
    int intervalMs = 1000; // reader-mode telegram period, 0 = on prompt only
};

// Bytes sent in front of a reply by the garbage fault. None of them is STX, so a client in
// STX/BCC framing can skip them; in CRC framing they spoil the reply.
inline const Bytes kGarbageBytes{0x5A, 0xA5, 0x00};
// Pause between the two halves of a reply under the split fault.
constexpr std::chrono::milliseconds kSplitPause{40};
// A request that has not been completed after this much silence is given up.
constexpr std::chrono::milliseconds kIdleGap{200};

class PtyServer {
public:
    PtyServer(ReaderModel& model, ServerOptions options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal and sets the slave to raw mode at the reader's line settings.
    bool open(std::string* error);
    const std::string& slavePath() const { return slavePath_; }

    // Serves until requestStop(). Returns false on an unrecoverable I/O error.
    bool run(std::string* error);
    // Async-signal-safe: may be called from a signal handler or another thread.
    void requestStop();

private:
    using Clock = std::chrono::steady_clock;
    struct OutByte {
        std::uint8_t byte;
        std::chrono::nanoseconds period; // wire time of the byte, 0 when not paced
        std::chrono::milliseconds pauseBefore;
    };

    bool lineMatches() const;
    void onInput(const std::uint8_t* data, std::size_t size, Clock::time_point now);
    void processFrames(bool idle, Clock::time_point now);
    void respond(const Request& request, Clock::time_point now);
    void queue(const Bytes& bytes, std::chrono::nanoseconds period,
               std::chrono::milliseconds pauseBefore = {});
    bool flushOutput(Clock::time_point now, std::string* error);
    void sendTelegram();
    std::chrono::nanoseconds bytePeriod() const;
    bool faultApplies(std::uint8_t command);

    ReaderModel& model_;
    ServerOptions options_;
    FrameScanner scanner_;
    int master_ = -1;
    int slave_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;
    std::deque<OutByte> out_;
    Clock::time_point nextWrite_{};
    Clock::time_point lastInput_{};
    std::optional<Clock::time_point> nextTelegram_;
    long faultsApplied_ = 0;
};

} // namespace qnsim
