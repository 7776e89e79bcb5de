// The viewer's end of the trace socket: bound on open, removed again when the object ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltra::trace {

class TraceAssembler;

class TraceSocket {
public:
    TraceSocket() = default;
    ~TraceSocket();
    TraceSocket(const TraceSocket&) = delete;
    TraceSocket& operator=(const TraceSocket&) = delete;

    // Binds a non-blocking datagram socket at path. The folder is created (for this user only)
    // when it is missing; it must belong to this user and be closed to others, since anyone who
    // can write there could listen in place of the viewer. A socket left behind by a viewer
    // that ended without removing it is replaced; one that a running viewer listens on is not.
    bool open(const std::string& path, std::string& error);
    int fd() const { return fd_; }
    // Takes the next waiting datagram; false when none is waiting. Datagrams that are no trace
    // piece are dropped (skipped is set).
    bool receive(std::uint32_t& piece, bool& skipped);

private:
    int fd_ = -1;
    std::string path_;
};

// Takes every waiting datagram, puts its piece into the assembler and returns the texts that
// completed, empty ones left out.
std::vector<std::string> receiveTexts(TraceSocket& socket, TraceAssembler& assembler);

} // namespace veltra::trace
