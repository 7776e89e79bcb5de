// Turns a request into the bytes a reader sends back, with the faults that were asked for on
// the command line. Shared by every face of the simulator (serial pty now; HID, FTDI and TCP
// later), which only decide how the pieces travel.
#pragma once

#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/SimFrame.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qnsim {

enum class Fault { None, BadCheck, Garbage, HeaderOnly, Silent, Split };

// Parses the fault names of the command line: bad-check, garbage, header-only, silent, split.
std::optional<Fault> parseFault(const std::string& name);

struct FaultOptions {
    std::optional<std::uint8_t> status;       // answer with this status instead of the reader's
    Fault fault = Fault::None;                // damage the reply this way
    std::optional<std::uint8_t> faultCommand; // only for requests with this command code
    long faultCount = -1;                     // only for this many requests; -1 = all
};

// Bytes sent in front of a reply by the garbage fault. None of them is STX, so a client in
// STX/BCC framing can skip them; in CRC framing they spoil the reply.
inline const Bytes kGarbageBytes{0x5A, 0xA5, 0x00};
// Pause between the two halves of a reply under the split fault.
constexpr std::chrono::milliseconds kSplitPause{40};

// One piece of a reply, to be sent after a pause.
struct ReplyPiece {
    Bytes bytes;
    std::chrono::milliseconds pauseBefore{0};
};

class Responder {
public:
    Responder(ReaderModel& model, std::uint8_t address, FaultOptions faults);

    std::uint8_t address() const { return address_; }
    // Whether a frame with this address byte is for this reader.
    bool addressedToMe(std::uint8_t address) const { return address == address_; }

    // The reply to one request addressed to this reader, in its framing; empty when the reader
    // stays silent. A request hit by --status or --fault silent is not carried out; the other
    // faults damage only the reply.
    std::vector<ReplyPiece> answer(const Request& request);

private:
    bool faultApplies(std::uint8_t command);

    ReaderModel& model_;
    std::uint8_t address_;
    FaultOptions faults_;
    long faultsApplied_ = 0;
};

} // namespace qnsim
