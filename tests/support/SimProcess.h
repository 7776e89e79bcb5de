// Runs the reader simulator (qn-sim) as a child process for a test.
//
//   SimProcess sim({"--type", "029", "--version", "7"});
//   int h = QnOpenPort(sim.port().c_str(), 19200, 0, 500);
//   ...
//   EXPECT_EQ(sim.block(6), (std::vector<uint8_t>{0x01, 0x0A, 0x3F, 0x05}));
//   EXPECT_EQ(sim.state().at("stored_mode"), "1");
//
// With --hid the simulator is a USB HID reader: port() is its socket path, to be listed in
// QN_SIM_HID_SOCKETS for the stand-in hidapi, and typeText() makes it type a text into the X
// display (it must have been started with --type-into-display).
//
// Without a --state option among the arguments the simulator gets a state file in a fresh
// temporary folder, which is removed again with the object; its standard error goes to a log
// there too (log()). The destructor stops the child
// with SIGTERM (SIGKILL after 2 s) and waits for it. Failures to start throw std::runtime_error.
// Needs QN_SIM_PATH (defined by veltra_add_gtest when the qn-sim target exists) unless the
// program path is given explicitly. Depends on nothing but the standard library and POSIX.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace veltra::test {

class SimProcess {
public:
    using StateMap = std::map<std::string, std::string>;

#ifdef QN_SIM_PATH
    explicit SimProcess(std::vector<std::string> args = {},
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(10))
        : SimProcess(QN_SIM_PATH, std::move(args), startTimeout) {}
#endif

    SimProcess(const std::string& program, std::vector<std::string> args,
               std::chrono::milliseconds startTimeout = std::chrono::seconds(10)) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--state" && i + 1 < args.size()) {
                statePath_ = args[i + 1];
            } else if (args[i].rfind("--state=", 0) == 0) {
                statePath_ = args[i].substr(8);
            }
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string dir =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qn-sim-test.XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr) {
            throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
        }
        tempDir_ = dir;
        logPath_ = tempDir_ + "/stderr.log";
        if (statePath_.empty()) {
            ownState_ = true;
            statePath_ = tempDir_ + "/state.txt";
            args.push_back("--state");
            args.push_back(statePath_);
        }
        start(program, args, startTimeout);
    }

    ~SimProcess() {
        cleanup();
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pty slave device to open as the serial port, e.g. "/dev/pts/7"; with --hid the
    // simulator's socket path.
    const std::string& port() const {
        return port_;
    }
    const std::string& statePath() const {
        return statePath_;
    }
    pid_t pid() const {
        return pid_;
    }

    // What the simulator wrote to its standard error so far.
    std::string log() const {
        std::ifstream in(logPath_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Whether the simulator is still running.
    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = status;
            return false;
        }
        return true;
    }

    // The state file as key -> value; empty when it cannot be read.
    StateMap state() const {
        StateMap map;
        std::ifstream in(statePath_);
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq != std::string::npos && eq > 0) {
                map[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        return map;
    }

    // One value of the state file, or empty when the key is absent.
    std::optional<std::string> value(const std::string& key) const {
        const StateMap map = state();
        auto it = map.find(key);
        if (it == map.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    // "blockN" of the state file as bytes (N = 1..6); empty when absent.
    std::vector<std::uint8_t> block(int n) const {
        return bytes("block" + std::to_string(n));
    }

    // Any hex-byte value of the state file ("password", "password.48", "transponder_config").
    std::vector<std::uint8_t> bytes(const std::string& key) const {
        std::vector<std::uint8_t> out;
        const auto v = value(key);
        if (!v) {
            return out;
        }
        std::istringstream in(*v);
        std::string token;
        while (in >> token) {
            out.push_back(static_cast<std::uint8_t>(std::strtoul(token.c_str(), nullptr, 16)));
        }
        return out;
    }

    // Waits until the state file holds key=expected (for effects that have no reply, such as
    // the relay and buzzer bytes of reader mode). True when it did within the timeout.
    bool waitForValue(const std::string& key, const std::string& expected,
                      std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (value(key) == expected) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Shorter name of waitForValue().
    bool waitFor(const std::string& key, const std::string& expected,
                 std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
        return waitForValue(key, expected, timeout);
    }

    // HID face only: types the text into the X display, key by key from the reader's key table;
    // returns once it is typed. False when the simulator cannot be reached or has no display.
    bool typeText(const std::string& text,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (port_.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path, port_.c_str(), port_.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        const std::string packet = "T" + text; // the simulator's type message
        bool typed = false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(packet.size())) {
            pollfd p{fd, POLLIN, 0};
            char answer[2] = {0, 1};
            typed = ::poll(&p, 1, static_cast<int>(timeout.count())) == 1 &&
                    ::recv(fd, answer, sizeof answer, 0) == 2 && answer[0] == 'A' && answer[1] == 0;
        }
        ::close(fd);
        return typed;
    }

    // Stops the simulator (SIGTERM, SIGKILL after 2 s) and returns its exit status as from
    // waitpid, or -1 when it was not running.
    int stop() {
        if (pid_ <= 0) {
            return exitStatus_;
        }
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_ || (r < 0 && errno != EINTR)) {
                break;
            }
            if (std::chrono::steady_clock::now() >= end) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        exitStatus_ = status;
        return status;
    }

private:
    void cleanup() {
        stop();
        // Sanitizer reports of the simulator would otherwise vanish with its log.
        const std::string text = log();
        if (text.find("Sanitizer") != std::string::npos ||
            text.find("runtime error") != std::string::npos) {
            std::fprintf(stderr, "qn-sim reported:\n%s\n", text.c_str());
        }
        if (ownState_) {
            ::unlink(statePath_.c_str());
        }
        ::unlink(logPath_.c_str());
        ::rmdir(tempDir_.c_str());
    }

    void start(const std::string& program, const std::vector<std::string>& args,
               std::chrono::milliseconds timeout) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const int rc =
            ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            pid_ = -1;
            cleanup();
            throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
        }
        // The first line of its output is the pty path.
        std::string line;
        const auto end = std::chrono::steady_clock::now() + timeout;
        bool done = false;
        while (!done) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char c = 0;
            const ssize_t n = ::read(out[0], &c, 1);
            if (n <= 0) {
                break; // the simulator ended before it printed its port
            }
            if (c == '\n') {
                done = true;
            } else {
                line += c;
            }
        }
        ::close(out[0]);
        if (!done || line.empty()) {
            const std::string why = log();
            cleanup();
            throw std::runtime_error("qn-sim did not report its port: " + why);
        }
        port_ = line;
    }

    pid_t pid_ = -1;
    std::string port_;
    std::string statePath_;
    std::string tempDir_;
    std::string logPath_;
    bool ownState_ = false;
    int exitStatus_ = -1;
};

} // namespace veltra::test
