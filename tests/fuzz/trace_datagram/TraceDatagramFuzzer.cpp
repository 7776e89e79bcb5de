// Any datagrams on the trace viewer's socket, as any program of the user can send them: the
// viewer's own socket receives them and puts the texts together. Input: datagrams, each a
// length byte and that many bytes; length 255 stands for a quiet moment, after which the
// viewer shows the unfinished text. Texts hold only the characters of valid pieces, never a
// zero byte, and none is empty.
#include "keys/TraceLog.h"
#include "tools/veltra-trace/TraceAssembler.h"
#include "tools/veltra-trace/TraceSocket.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace veltra;

namespace {

trace::TraceSocket* g_viewer = nullptr;
int g_sender = -1;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void check(const std::string& text, std::size_t& characters) {
    require(!text.empty() && text.find('\0') == std::string::npos);
    characters += text.size();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/trace-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::abort();
    }
    const std::string path = std::string(folder) + "/ZemTracer";
    g_viewer = new trace::TraceSocket;
    std::string error;
    if (!g_viewer->open(path, error)) {
        std::abort();
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    g_sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (g_sender < 0 ||
        ::connect(g_sender, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trace::TraceAssembler assembler;
    std::size_t pieces = 0;
    std::size_t characters = 0;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = data[at++];
        if (length == 255) {
            if (assembler.pending()) {
                check(assembler.flush(), characters);
            }
            continue;
        }
        const std::size_t n = std::min(length, size - at);
        std::uint32_t piece = 0;
        if (decodeTraceDatagram(data + at, n, piece)) {
            ++pieces;
        }
        // The viewer reads after each datagram, so the socket's queue never fills.
        require(::send(g_sender, data + at, n, 0) == static_cast<ssize_t>(n));
        at += n;
        for (const std::string& text : trace::receiveTexts(*g_viewer, assembler)) {
            check(text, characters);
        }
    }
    if (assembler.pending()) {
        check(assembler.flush(), characters);
    }
    require(characters <= 4 * pieces);
    return 0;
}
