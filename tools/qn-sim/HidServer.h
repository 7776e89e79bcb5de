// The reader's USB HID face: a keyboard reader (vendor 0x16C0, product 0x2913) reached through
// the stand-in hidapi library over a Unix socket (see HidWire.h). The reader command protocol
// travels in data-channel reports and is answered by the same reader model and responder as
// the serial face; control-channel reports carry the mode message, the key queries and the key
// settings of the reader's key table. In reader mode the reader types its telegrams into the X
// display through XTest, key by key from its table.
#pragma once

#include "tools/qn-sim/FrameScanner.h"
#include "tools/qn-sim/HidKeyTable.h"
#include "tools/qn-sim/PtyServer.h"
#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/Responder.h"
#include "tools/qn-sim/XTestTyper.h"

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qnsim {

struct HidOptions {
    std::optional<std::string> serial = std::string("1650-000001"); // empty: no serial number
    int inputLength = 9;     // report lengths, report ID byte included
    int outputLength = 9;    // at most 64
    std::string socketPath;  // empty: a socket in a fresh temporary folder
    std::string devicePath;  // path hidapi reports; empty: "qn-sim:<socket>"
    bool queryAllFF = false; // answer every key query with FF FF
    bool refuseSet = false;  // drop set-key messages
    bool wrongEcho = false;  // answer key queries with a wrong first byte
    bool noMode = false;     // stall the mode message
    bool longLength = false; // full data reports claim more payload than they hold
    bool typeIntoDisplay = false;
    std::string typeText; // typed once after start
};

constexpr unsigned short kHidVendor = 0x16C0;
constexpr unsigned short kHidProduct = 0x2913;

class HidServer {
public:
    HidServer(ReaderModel& model, ServerOptions options, HidOptions hid, HidKeyTable table);
    ~HidServer();
    HidServer(const HidServer&) = delete;
    HidServer& operator=(const HidServer&) = delete;

    // Creates the listening socket and, with typeIntoDisplay, connects to the X display.
    bool open(std::string* error);
    const std::string& socketPath() const { return socketPath_; }

    // Serves until requestStop(). Returns false on an unrecoverable I/O error.
    bool run(std::string* error);
    // Async-signal-safe.
    void requestStop();

    // The report descriptor the reader reports: one vendor-defined report without report ID.
    static std::vector<std::uint8_t> reportDescriptor(int inputLength, int outputLength);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        int client;
        std::vector<std::uint8_t> packet;
    };

    std::string description() const;
    void onPacket(int client, const std::vector<std::uint8_t>& packet);
    // An output report; false when the reader stalls it.
    bool onOutputReport(int client, const std::vector<std::uint8_t>& report);
    void onControl(int client, const std::vector<std::uint8_t>& message);
    void onData(int client, const std::uint8_t* data, std::size_t size);
    void processFrames(int client, bool idle);
    void sendInput(int client, const std::vector<std::uint8_t>& payload,
                   std::chrono::milliseconds pauseBefore);
    void send(int client, const std::vector<std::uint8_t>& packet);
    void flushPending(Clock::time_point now);
    bool typeText(const std::string& text);
    std::string stateText() const;
    void dropClient(int client);
    // The key table and counters changed: the state file is rewritten shortly after, once for
    // a burst of messages (a layout read sends 95 queries back to back).
    void noteChange();
    void saveIfDue(Clock::time_point now);

    ReaderModel& model_;
    ServerOptions options_;
    HidOptions hid_;
    HidKeyTable table_;
    FrameScanner scanner_;
    Responder responder_;
    std::unique_ptr<XTestTyper> typer_;
    int listen_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string socketPath_;
    std::string tempDir_;
    std::vector<int> clients_;
    int dataClient_ = -1; // the client whose request the scanner holds
    std::deque<Pending> pending_;
    Clock::time_point lastInput_{};
    std::optional<Clock::time_point> nextTelegram_;
    std::optional<Clock::time_point> saveDue_;
    std::optional<int> modeValue_;
    long queries_ = 0;
    long sets_ = 0;
    long roundTrips_ = 0;
    long typed_ = 0;
};

} // namespace qnsim
