// The reader's serial face: a pseudo-terminal whose slave side a client opens like a serial
// port. The server reads what the client writes, finds request frames, lets the reader model
// answer and writes the reply back, optionally at the line's wire speed and optionally damaged
// on purpose. In reader mode it also sends transponder telegrams.
#pragma once

#include "tools/qn-sim/FrameScanner.h"
#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/Responder.h"
#include "tools/qn-sim/SimFrame.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace qnsim {

struct ServerOptions {
    bool acceptStx = true;
    bool acceptCrc = true;
    std::uint8_t address = 1;
    bool pace = false; // send reply bytes at 10 bit times each
    FaultOptions faults;
    std::string telegram = "0415E3A2C7\r\n";
    int intervalMs = 1000; // reader-mode telegram period, 0 = on prompt only
};

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
    void processFrames(bool idle);
    void respond(const Request& request);
    void queue(const Bytes& bytes, std::chrono::nanoseconds period,
               std::chrono::milliseconds pauseBefore = {});
    bool flushOutput(Clock::time_point now, std::string* error);
    void sendTelegram();
    std::chrono::nanoseconds bytePeriod() const;

    ReaderModel& model_;
    ServerOptions options_;
    FrameScanner scanner_;
    Responder responder_;
    int master_ = -1;
    int slave_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;
    std::deque<OutByte> out_;
    Clock::time_point nextWrite_{};
    Clock::time_point lastInput_{};
    std::optional<Clock::time_point> nextTelegram_;
};

} // namespace qnsim
