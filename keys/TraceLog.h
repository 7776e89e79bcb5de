// Diagnostic texts for the external trace viewer (tools/veltra-trace).
//
// A viewer listens on a Unix datagram socket named "ZemTracer" in the user's runtime directory
// ($XDG_RUNTIME_DIR/ZemTracer; without a runtime directory /tmp/ZemTracer-<uid>/ZemTracer, a
// folder that only the user may enter). A text goes out in pieces of four bytes, one datagram
// each: 8 bytes, the message id kTraceMessageId and then the piece, both little-endian 32-bit
// numbers; the first character of a piece is its lowest byte, and the last piece of a text is
// padded with zero bytes. A text whose length is a multiple of four thus ends without a zero
// byte.
//
// Whole texts never interleave: the pieces of one text are sent while this thread holds the
// process's trace mutex and the file lock (flock) on "ZemTracerLock" beside the socket, which
// every tracing process takes. The lock file is created by the first trace that finds a viewer
// and stays open for the life of the process. The sends block, so a trace returns when the
// viewer has all pieces. Without a viewer a trace costs one failed connect and creates nothing.
#pragma once

#include <cstdint>
#include <string>

namespace veltra {

// FNV-1a of a text; names the viewer's message by a number.
constexpr std::uint32_t fnv1a32(const char* text) {
    std::uint32_t hash = 2166136261u;
    for (; *text != '\0'; ++text) {
        hash = (hash ^ static_cast<unsigned char>(*text)) * 16777619u;
    }
    return hash;
}

// The id every trace datagram starts with: FNV-1a of "ZemTracerMSG".
constexpr std::uint32_t kTraceMessageId = fnv1a32("ZemTracerMSG");
constexpr std::size_t kTraceDatagramSize = 8;

// The folder of the socket and the lock, the socket's path and the lock file's path, from the
// current environment.
std::string traceDirectory();
std::string traceSocketPath();
std::string traceLockPath();
// True for a folder of this user that no one else may write into: the only kind in which a
// trace looks for a viewer and a viewer puts its socket.
bool traceDirectoryIsPrivate(const std::string& directory);

// One datagram: id and piece, little-endian.
void encodeTraceDatagram(std::uint32_t piece, unsigned char out[kTraceDatagramSize]);
// The piece of a datagram; false for one of another size or id.
bool decodeTraceDatagram(const unsigned char* data, std::size_t size, std::uint32_t& piece);

// Sends the text up to its first zero byte to the viewer. 1 when a viewer took it, 0 when
// there is none (or it went away during the text).
int TraceWrite(const char* text);

// Formats into 512 bytes (longer texts are cut at 511 characters) and sends the result.
void TracePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Microseconds of the monotonic clock.
std::uint64_t MicrosecondClock();

} // namespace veltra
