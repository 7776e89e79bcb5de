#include "tools/qn-sim/Responder.h"

namespace qnsim {

std::optional<Fault> parseFault(const std::string& name) {
    if (name == "bad-check") {
        return Fault::BadCheck;
    }
    if (name == "garbage") {
        return Fault::Garbage;
    }
    if (name == "header-only") {
        return Fault::HeaderOnly;
    }
    if (name == "silent") {
        return Fault::Silent;
    }
    if (name == "split") {
        return Fault::Split;
    }
    return std::nullopt;
}

Responder::Responder(ReaderModel& model, std::uint8_t address, FaultOptions faults)
    : model_(model), address_(address), faults_(faults) {}

bool Responder::faultApplies(std::uint8_t command) {
    if (!faults_.status && faults_.fault == Fault::None) {
        return false;
    }
    if (faults_.faultCommand && *faults_.faultCommand != command) {
        return false;
    }
    if (faults_.faultCount >= 0 && faultsApplied_ >= faults_.faultCount) {
        return false;
    }
    ++faultsApplied_;
    return true;
}

std::vector<ReplyPiece> Responder::answer(const Request& request) {
    const bool fault = faultApplies(request.command);
    if (fault && faults_.fault == Fault::Silent) {
        return {}; // the request is lost on the way: the reader neither acts nor answers
    }
    Reply reply;
    if (fault && faults_.status) {
        reply.status = *faults_.status;
    } else {
        reply = model_.handle(request);
    }
    Bytes frame = encodeFrame(request.framing, address_, reply.status, reply.data);
    if (!fault) {
        return {{std::move(frame)}};
    }
    switch (faults_.fault) {
    case Fault::BadCheck:
        frame.back() ^= 0xFF;
        return {{std::move(frame)}};
    case Fault::Garbage:
        return {{kGarbageBytes}, {std::move(frame)}};
    case Fault::HeaderOnly:
        frame.resize(headerSize(request.framing));
        return {{std::move(frame)}};
    case Fault::Split: {
        const auto half = static_cast<std::ptrdiff_t>(frame.size() / 2);
        return {{Bytes(frame.begin(), frame.begin() + half)},
                {Bytes(frame.begin() + half, frame.end()), kSplitPause}};
    }
    case Fault::Silent:
    case Fault::None:
        break;
    }
    return {{std::move(frame)}};
}

} // namespace qnsim
