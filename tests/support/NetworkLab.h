// Network namespaces for the Ethernet tests: the program's side and the modules' sides, joined
// by veth pairs, created for one test program and removed again by the destructor, whatever
// the tests did. Nothing touches the host's own interfaces.
//
//   NetworkLab lab;                       // names carry the pid, so parallel runs never meet
//   if (!lab.create()) GTEST_SKIP() << lab.reason();
//   lab.link("a", "10.77.1.1/24", "m", "10.77.1.10/24");  // program side <-> module side "m"
//   lab.enterProgramSide();               // this thread (and threads it starts) use the lab
//   SimProcess sim(lab.inModuleSide("m", QN_SIM_PATH), {"--lan", "10.77.1.10"});
//
// create() fails with a reason when namespaces cannot be made (no root, no iproute2). With the
// environment variable VELTRA_REQUIRE_NETNS=1 such a test must not skip: use
// skipOrFail(lab.reason()).
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace veltra::test {

class NetworkLab {
public:
    NetworkLab() : prefix_("qn" + std::to_string(::getpid()) + "_") {}
    ~NetworkLab() { destroy(); }
    NetworkLab(const NetworkLab&) = delete;
    NetworkLab& operator=(const NetworkLab&) = delete;

    static std::string ipProgram() {
        for (const char* p : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
            if (::access(p, X_OK) == 0) {
                return p;
            }
        }
        return {};
    }

    // Creates the program side. False with reason() when namespaces cannot be made here.
    bool create() {
        if (ipProgram().empty()) {
            reason_ = "iproute2 (ip) is not installed";
            return false;
        }
        if (::geteuid() != 0) {
            reason_ = "creating network namespaces needs root";
            return false;
        }
        if (!addNamespace("p")) {
            reason_ = "ip netns add failed (no permission to create network namespaces?)";
            return false;
        }
        // Answers to one adapter may come in through the other; no reverse-path filter.
        sysctl("p", "net.ipv4.conf.all.rp_filter=0");
        sysctl("p", "net.ipv4.conf.default.rp_filter=0");
        return true;
    }
    const std::string& reason() const { return reason_; }

    // A veth pair between the program side (interface programIf) and the module side `module`
    // (created on first use), with the given addresses ("10.77.1.1/24"); the module side may
    // take more addresses with addAddress().
    void link(const std::string& programIf, const std::string& programAddress,
              const std::string& module, const std::string& moduleAddress) {
        addNamespace(module);
        const std::string moduleIf = "m" + programIf;
        run({"link", "add", programIf, "netns", ns("p"), "type", "veth", "peer", "name", moduleIf,
             "netns", ns(module)});
        run({"-n", ns("p"), "addr", "add", programAddress, "dev", programIf});
        run({"-n", ns(module), "addr", "add", moduleAddress, "dev", moduleIf});
        run({"-n", ns("p"), "link", "set", programIf, "up"});
        run({"-n", ns(module), "link", "set", moduleIf, "up"});
        sysctl(module, "net.ipv4.conf.all.rp_filter=0");
    }
    void addAddress(const std::string& module, const std::string& programIf,
                    const std::string& address) {
        run({"-n", ns(module), "addr", "add", address, "dev", "m" + programIf});
    }
    // Runs a command in a namespace of the lab (e.g. a sysctl).
    void sysctl(const std::string& side, const std::string& setting) {
        run({"netns", "exec", ns(side), "sysctl", "-q", "-w", setting});
    }

    // The program and arguments that run `program` on a module side, for SimProcess.
    std::pair<std::string, std::vector<std::string>> inModuleSide(const std::string& module,
                                                                  const std::string& program) {
        return {ipProgram(), {"netns", "exec", ns(module), program}};
    }

    // Moves the calling thread into the program side; leaveProgramSide() moves it back.
    void enterProgramSide() {
        if (home_ < 0) {
            home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        }
        const int fd = ::open(("/run/netns/" + ns("p")).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
            throw std::runtime_error("cannot enter the program side's namespace");
        }
        ::close(fd);
    }
    void leaveProgramSide() {
        if (home_ >= 0) {
            (void)::setns(home_, CLONE_NEWNET);
        }
    }

    void destroy() {
        leaveProgramSide();
        if (home_ >= 0) {
            ::close(home_);
            home_ = -1;
        }
        for (const auto& name : namespaces_) {
            runQuiet({"netns", "del", name});
        }
        namespaces_.clear();
    }

    std::string ns(const std::string& side) const { return prefix_ + side; }

private:
    bool addNamespace(const std::string& side) {
        if (namespaces_.count(ns(side)) != 0) {
            return true;
        }
        if (!runQuiet({"netns", "add", ns(side)})) {
            return false;
        }
        namespaces_.insert(ns(side));
        run({"-n", ns(side), "link", "set", "lo", "up"});
        return true;
    }
    void run(const std::vector<std::string>& args) {
        if (!runQuiet(args)) {
            std::string text = "ip";
            for (const auto& a : args) {
                text += " " + a;
            }
            throw std::runtime_error("failed: " + text);
        }
    }
    static bool runQuiet(const std::vector<std::string>& args) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            const std::string ip = ipProgram();
            argv.push_back(const_cast<char*>(ip.c_str()));
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDOUT_FILENO);
            ::execv(ip.c_str(), argv.data());
            ::_exit(127);
        }
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

    std::string prefix_;
    std::string reason_;
    std::set<std::string> namespaces_;
    int home_ = -1;
};

// Skips the test with the reason, or fails it when VELTRA_REQUIRE_NETNS=1 is set.
#define VELTRA_SKIP_WITHOUT_NETNS(reason)                                                          \
    do {                                                                                           \
        const char* require = std::getenv("VELTRA_REQUIRE_NETNS");                                 \
        if (require != nullptr && std::string(require) == "1") {                                   \
            FAIL() << "network namespaces are required (VELTRA_REQUIRE_NETNS=1): " << (reason);    \
        }                                                                                          \
        GTEST_SKIP() << "no network namespaces: " << (reason);                                     \
    } while (0)

} // namespace veltra::test
