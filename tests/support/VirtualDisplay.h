// A virtual X server (Xvfb) on a display number of its own, for the life of the object, with
// its keyboard layout set by setxkbmap: tests of what a keyboard reader types.
//
//   VirtualDisplay display;
//   ASSERT_TRUE(display.ready());
//   ASSERT_TRUE(display.setLayout("de"));
//   ::setenv("DISPLAY", display.name().c_str(), 1);
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace veltra::test {

inline pid_t spawnQuietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline bool runQuietly(const std::vector<std::string>& args) {
    const pid_t pid = spawnQuietly(args);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A virtual X server on a display number of its own, for the life of the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        for (int n = 40 + ::getpid() % 400; n < 1000 && pid_ < 0; n += 7) {
            if (::access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) {
                continue;
            }
            name_ = ":" + std::to_string(n);
            // -noreset: the server keeps its keyboard layout when its last client leaves.
            pid_ = spawnQuietly(
                {"Xvfb", name_, "-noreset", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
            if (acceptsConnections()) {
                ready_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }
    bool setLayout(const std::string& layout) const {
        return runQuietly({"setxkbmap", "-display", name_, layout});
    }

private:
    // The server listens on its Unix socket once it is ready for clients.
    bool acceptsConnections() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = "/tmp/.X11-unix/X" + name_.substr(1);
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                                    sizeof address) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return connected;
    }

    pid_t pid_ = -1;
    std::string name_;
    bool ready_ = false;
};

// Whether the programs a virtual display needs are there (scripts/setup.sh installs them).
inline bool virtualDisplayAvailable() {
    return ::access("/usr/bin/Xvfb", X_OK) == 0 && ::access("/usr/bin/setxkbmap", X_OK) == 0;
}

} // namespace veltra::test
