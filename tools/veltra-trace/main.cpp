// veltra-trace: shows the diagnostic texts that Quarnel Veltra traces.
#include "keys/TraceLog.h"
#include "tools/veltra-trace/TraceAssembler.h"
#include "tools/veltra-trace/TraceSocket.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// A text without zero byte and newline is shown after this long without a further piece.
constexpr int kQuietMs = 200;

const char* const kUsage = R"(Usage: veltra-trace [--socket PATH]

Receives the diagnostic texts of Quarnel Veltra (layout differences, key changes, read-backs
and durations of programming a keyboard reader's layout) and prints each text on standard
output, after the local time it arrived. The first line of output is the socket's path.
Ends on SIGINT (Ctrl+C) or SIGTERM and removes its socket.

  --socket PATH   listen here instead of the default
                  ($XDG_RUNTIME_DIR/ZemTracer, without a runtime folder
                  /tmp/ZemTracer-<uid>/ZemTracer); the program traces to the default only
  --help          this text

Wire format: one datagram of 8 bytes per 4 characters: the message id 0x%08X and the
characters, both little-endian 32-bit numbers. A text ends at its first zero byte; a text
whose length is a multiple of four ends at a piece ending in a newline, or after %d ms without
a further piece.
)";

void print(const std::string& text) {
    std::string shown = text;
    if (!shown.empty() && shown.back() == '\n') {
        shown.pop_back();
    }
    timeval now{};
    ::gettimeofday(&now, nullptr);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::printf("%s.%03d %s\n", stamp, static_cast<int>(now.tv_usec / 1000), shown.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::string path = veltra::traceSocketPath();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf(kUsage, unsigned(veltra::kTraceMessageId), kQuietMs);
            return 0;
        }
        if (arg == "--socket" && i + 1 < argc) {
            path = argv[++i];
        } else if (arg.rfind("--socket=", 0) == 0) {
            path = arg.substr(9);
        } else {
            std::fprintf(stderr,
                         "veltra-trace: unknown argument '%s'\nTry 'veltra-trace --help'.\n",
                         arg.c_str());
            return 2;
        }
    }

    // The signals arrive as readable data, so the loop ends cleanly and removes the socket.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) {
        std::perror("veltra-trace: signalfd");
        return 1;
    }

    veltra::trace::TraceSocket socket;
    std::string error;
    if (!socket.open(path, error)) {
        std::fprintf(stderr, "veltra-trace: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    veltra::trace::TraceAssembler assembler;
    pollfd fds[2] = {{socket.fd(), POLLIN, 0}, {signals, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, assembler.pending() ? kQuietMs : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (fds[1].revents & POLLIN) != 0) {
            break;
        }
        if (ready == 0) {
            print(assembler.flush());
            continue;
        }
        for (const std::string& text : veltra::trace::receiveTexts(socket, assembler)) {
            print(text);
        }
    }
    if (assembler.pending()) {
        print(assembler.flush());
    }
    ::close(signals);
    return 0;
}
