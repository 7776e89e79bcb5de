// veltra-trace end to end: the program runs as a child process, this test traces to it through
// the real trace log, and reads what it prints.
#include "keys/TraceLog.h"
#include "tests/support/TraceCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace veltra {
namespace {

class Viewer {
public:
    explicit Viewer(const std::string& socketPath) {
        int out[2];
        if (::pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {VELTRA_TRACE_PATH, "--socket", socketPath};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        if (rc != 0) {
            throw std::runtime_error("cannot start veltra-trace");
        }
    }
    ~Viewer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    // The next line of output, without its newline; empty after 10 s or at the end.
    std::string line() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            const std::size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) <= 0) {
                return {};
            }
            char chunk[256];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return {};
            }
            buffer_.append(chunk, std::size_t(n));
        }
    }

    // Stops the program with the signal; its exit status.
    int stop(int signal) {
        ::kill(pid_, signal);
        return wait();
    }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = 0;
    int out_ = -1;
    std::string buffer_;
};

// "12:34:56.789 text" -> "text"
std::string text(const std::string& line) {
    return line.size() > 13 && line[2] == ':' && line[8] == '.' ? line.substr(13)
                                                                : "<" + line + ">";
}

TEST(TraceViewer, ShowsEachTextAndRemovesItsSocket) {
    test::TraceFolder folder;
    const std::string path = traceSocketPath();
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        Viewer viewer(path);
        ASSERT_EQ(viewer.line(), path);

        // A second viewer on the same socket refuses to start.
        Viewer second(path);
        EXPECT_EQ(second.wait(), 1);

        ASSERT_EQ(TraceWrite("abcde"), 1);
        EXPECT_EQ(text(viewer.line()), "abcde");
        ASSERT_EQ(TraceWrite("Tastenbelegung gelesen\n"), 1);
        EXPECT_EQ(text(viewer.line()), "Tastenbelegung gelesen");
        ASSERT_EQ(TraceWrite("q => 4014\n"), 1); // ends in a newline without a zero byte
        EXPECT_EQ(text(viewer.line()), "q => 4014");
        ASSERT_EQ(TraceWrite("N016(q a) xy"), 1); // 12 characters: shown after a quiet time
        EXPECT_EQ(text(viewer.line()), "N016(q a) xy");
        const std::string longer(300, 'x');
        ASSERT_EQ(TraceWrite((longer + "\n").c_str()), 1);
        EXPECT_EQ(text(viewer.line()), longer);

        EXPECT_EQ(viewer.stop(signal), 0);
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(TraceWrite("gone"), 0);
    }
}

} // namespace
} // namespace veltra
