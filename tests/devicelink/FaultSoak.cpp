// fault_soak: runs exchanges through the device link against simulated readers (serial, USB HID
// and Ethernet) while the simulators inject every fault they know, opens and closes connections
// and kills simulators under open connections. It fails (exit status 1) when a call takes longer
// than its bound, returns an error code the operation does not document, reports success where
// the reader's answer must make it fail, returns wrong data, or when descriptors, threads or
// memory grow between checkpoints.
//
//   fault_soak [--seconds N] [--exchanges N] [--seed N] [--margin MS] [--rss-tolerance KIB]
//
// The seed (printed first) decides the order of the faults and every choice made per phase, so
// a failing run can be repeated. Timing still differs between runs.
#include "qnlink.h"

#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif

namespace {

using veltra::test::NetworkLab;
using veltra::test::SimProcess;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;
using Bytes = std::vector<unsigned char>;

// Documented timeouts of the device link.
constexpr int kIdentifyTimeoutMs = 300;  // per identification attempt
constexpr int kHidCommandWaitMs = 100;   // QnHidCommand's answer wait
constexpr int kHidControlSettleMs = 15;  // after QnHidControlWrite
constexpr int kLanAnswerWindowMs = 500;  // one configuration answer
constexpr int kTcpConnectLimitMs = 3000; // one connection attempt

const char* const kLanModule = "10.78.1.10";
const char* const kLanOther = "10.78.1.11";
const char* const kHidName = "1650-000001 HID";

enum class Face { Serial, Hid, Lan };

const char* faceName(Face face) {
    switch (face) {
    case Face::Serial:
        return "serial";
    case Face::Hid:
        return "hid";
    case Face::Lan:
        return "lan";
    }
    return "?";
}

// What a fault does to the calls it touches.
enum class Effect {
    None,        // every call succeeds
    Fails,       // every exchange it applies to fails (silent, header-only, bad-check, status)
    MayFail,     // exchanges it applies to may fail with a reply error (garbage, split, ...)
    OpenRefused, // the open fails with a code of its own (HID mode message stalled)
    HidCommand,  // only the HID control channel is affected
    LanConfig,   // only the module configuration over UDP is affected
};

struct FaultKind {
    std::string name;
    Face face;
    std::vector<std::string> args;
    Effect effect;
    bool replyFault;        // --fault/--status: may be limited to one command and a count
    int status = 0;         // the status byte of a --status fault
    bool lateBytes = false; // parts of a reply may arrive after its exchange ended
};

std::vector<FaultKind> catalogue(bool withLan) {
    std::vector<FaultKind> kinds;
    std::vector<Face> faces{Face::Serial, Face::Hid};
    if (withLan) {
        faces.push_back(Face::Lan);
    }
    for (Face face : faces) {
        const std::string prefix = std::string(faceName(face)) + " ";
        kinds.push_back({prefix + "none", face, {}, Effect::None, false});
        for (int status : {0x01, 0x02, 0x03, 0x42}) {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%02X", status);
            kinds.push_back(
                {prefix + "status " + hex, face, {"--status", hex}, Effect::Fails, true, status});
        }
        for (const char* fault : {"bad-check", "header-only", "silent"}) {
            kinds.push_back({prefix + fault, face, {"--fault", fault}, Effect::Fails, true});
        }
        kinds.push_back({prefix + "garbage", face, {"--fault", "garbage"}, Effect::MayFail, true});
        kinds.push_back(
            {prefix + "split", face, {"--fault", "split"}, Effect::MayFail, true, 0, true});
    }
    kinds.push_back(
        {"hid query-ff", Face::Hid, {"--hid-fault", "query-ff"}, Effect::HidCommand, false});
    kinds.push_back(
        {"hid refuse-set", Face::Hid, {"--hid-fault", "refuse-set"}, Effect::HidCommand, false});
    kinds.push_back(
        {"hid wrong-echo", Face::Hid, {"--hid-fault", "wrong-echo"}, Effect::HidCommand, false});
    kinds.push_back(
        {"hid no-mode", Face::Hid, {"--hid-fault", "no-mode"}, Effect::OpenRefused, false});
    kinds.push_back({"hid long-length",
                     Face::Hid,
                     {"--hid-fault", "long-length"},
                     Effect::MayFail,
                     false,
                     0,
                     true});
    if (withLan) {
        kinds.push_back(
            {"lan udp silent", Face::Lan, {"--lan-fault", "silent"}, Effect::LanConfig, false});
        kinds.push_back(
            {"lan udp short", Face::Lan, {"--lan-fault", "short"}, Effect::LanConfig, false});
        kinds.push_back({"lan udp other-address",
                         Face::Lan,
                         {"--lan-fault", "other-address", "--lan-reply-from", kLanOther},
                         Effect::LanConfig,
                         false});
    }
    return kinds;
}

// ---- Documented results ----------------------------------------------------------------------

// The last errors each operation documents in qnlink.h, apart from the reader's own status
// bytes. Every exchange may end with a reply error: no complete reply in time, no reply bytes
// at all, a wrong check.
std::set<int> documentedErrors(const std::string& operation) {
    const std::set<int> reply{QN_ERR_TIMEOUT, QN_ERR_NO_REPLY, QN_ERR_CHECKSUM};
    static const std::map<std::string, std::set<int>> extra = {
        {"QnReadDeviceType", {QN_ERR_BUFFER}},
        {"QnReadMode", {}},
        {"QnReadParameterBlock1", {QN_ERR_BUFFER, QN_ERR_BLOCK1_SHORT}},
        {"QnReadParameterBlock2", {QN_ERR_BUFFER}},
        {"QnReadParameterBlock3", {QN_ERR_BUFFER}},
        {"QnReadParameterBlock4", {QN_ERR_BUFFER}},
        {"QnReadParameterBlock5", {QN_ERR_BUFFER}},
        {"QnReadParameterBlock6", {QN_ERR_BUFFER}},
        {"QnWriteParameterBlock2", {QN_ERR_LENGTH}},
        {"QnWriteParameterBlock6", {QN_ERR_LENGTH}},
        {"QnTransact(8A)", {QN_ERR_BUFFER, QN_ERR_EMPTY_REQUEST, QN_ERR_LENGTH}},
    };
    std::set<int> codes = reply;
    const auto& more = extra.at(operation);
    codes.insert(more.begin(), more.end());
    return codes;
}

// ---- Process resources ----------------------------------------------------------------------

long entriesIn(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) {
        return -1;
    }
    long n = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.') {
            ++n;
        }
    }
    ::closedir(dir);
    return n - (std::string(folder) == "/proc/self/fd" ? 1 : 0); // the one opendir holds
}

struct Resources {
    long fds = 0;
    long threads = 0;
    long rssKib = 0;
};

Resources resourcesNow() {
    Resources r;
    r.fds = entriesIn("/proc/self/fd");
    r.threads = entriesIn("/proc/self/task");
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    r.rssKib = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    return r;
}

// ---- Watchdog: a call that never returns ends the soak with a message ------------------------

std::mutex g_simMutex;
std::set<pid_t> g_simPids; // simulators to kill when the watchdog ends the program

class Watchdog {
public:
    Watchdog() : thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void arm(const std::string& what, Ms limit) {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        deadline_ = Clock::now() + limit;
        armed_ = true;
    }
    void disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            wake_.wait_for(lock, Ms(100));
            if (armed_ && Clock::now() > deadline_) {
                std::fprintf(stderr, "HANG: %s did not return; the soak ends here\n",
                             what_.c_str());
                std::lock_guard<std::mutex> sims(g_simMutex);
                for (pid_t pid : g_simPids) {
                    ::kill(pid, SIGKILL);
                }
                std::_Exit(3);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::string what_;
    Clock::time_point deadline_{};
    bool armed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// ---- The wait callback: every begin has its end ----------------------------------------------

std::atomic<long> g_waitBegins{0};
std::atomic<long> g_waitEnds{0};

extern "C" void countWaits(int phase, void*) {
    if (phase == QN_WAIT_BEGIN) {
        ++g_waitBegins;
    } else if (phase == QN_WAIT_END) {
        ++g_waitEnds;
    }
}

// ---- The soak -------------------------------------------------------------------------------

struct Options {
    double seconds = 30;
    long exchanges = 0; // 0: no limit
    std::uint64_t seed = 0;
    int marginMs = 400;
    long rssToleranceKib = 4096;
};

struct Slowest {
    double ratio = 0;
    std::string what;
    long tookMs = 0;
    long boundMs = 0;
};

class Soak {
public:
    // Every HID simulator takes the same socket path, so that the environment is set once
    // (the C library keeps every value setenv ever had).
    Soak(const Options& options, NetworkLab* lab)
        : options_(options), rng_(options.seed), lab_(lab) {
        std::string dir = "/tmp/qn-soak.XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        folder_ = dir;
        hidSocket_ = folder_ + "/reader.sock";
        ::setenv("QN_SIM_HID_SOCKETS", hidSocket_.c_str(), 1);
    }
    ~Soak() {
        ::unlink(hidSocket_.c_str());
        ::rmdir(folder_.c_str());
    }

    int run();

private:
    // One phase: a simulator with one fault, a connection, exchanges.
    struct Phase {
        const FaultKind* kind = nullptr;
        int command = -1; // the fault applies to this command only; -1: to every command
        int count = 0;    // the fault applies to the first `count` requests; 0: to all
        int timeoutMs = 1000;
        bool crc = false; // the simulator answers CRC framing only
        int flags = 0;
        bool callback = false;
        bool kill = false; // kill the simulator under the open connection half-way
        int exchanges = 0;
    };

    std::uint64_t pick(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }
    bool chance(int percent) { return static_cast<int>(pick(100)) < percent; }

    Phase plan(const FaultKind& kind);
    void runPhase(const Phase& phase);
    std::unique_ptr<SimProcess> startSim(const Phase& phase, bool withFault);
    std::string portName(const SimProcess& sim, Face face) const;
    int open(const Phase& phase, const SimProcess& sim, bool faultFree);
    void close(int handle, Face face, bool simGone);
    void exchange(int handle, const Phase& phase, bool faultActive, bool simGone);
    void lanConfig(const Phase& phase, bool faultActive);
    void checkpoint(bool final);

    template <typename Call>
    int timed(const std::string& what, long boundMs, Call&& call) {
        const long hardLimit = boundMs + 10000;
        watchdog_.arm(what, Ms(hardLimit));
        const long beginsBefore = g_waitBegins.load();
        const long endsBefore = g_waitEnds.load();
        const auto start = Clock::now();
        const int result = call();
        const long took = std::chrono::duration_cast<Ms>(Clock::now() - start).count();
        watchdog_.disarm();
        ++calls_;
        if (took > boundMs) {
            fail(what + " took " + std::to_string(took) + " ms, bound " + std::to_string(boundMs) +
                 " ms");
        }
        const double ratio = static_cast<double>(took) / static_cast<double>(boundMs);
        if (ratio > slowest_.ratio) {
            slowest_ = {ratio, what, took, boundMs};
        }
        if (g_waitBegins.load() - beginsBefore != g_waitEnds.load() - endsBefore) {
            fail(what + ": the wait callback saw a begin without its end");
        }
        return result;
    }

    void fail(const std::string& message) {
        ++failures_;
        if (failures_ <= 30) {
            std::fprintf(stderr, "FAIL [%s]: %s\n", context_.c_str(), message.c_str());
        }
    }

    Options options_;
    std::mt19937_64 rng_;
    NetworkLab* lab_;
    Watchdog watchdog_;
    std::string context_;
    Clock::time_point end_{};
    std::string folder_;
    std::string hidSocket_;

    long calls_ = 0;
    long exchanges_ = 0;
    long failedExchanges_ = 0;
    long opens_ = 0;
    long closes_ = 0;
    long kills_ = 0;
    long phases_ = 0;
    long failures_ = 0;
    std::map<std::string, long> phasesByKind_;
    std::map<std::string, long> exchangesByKind_;
    std::map<int, long> errors_;
    Slowest slowest_;
    std::optional<Resources> baseline_;
    Resources first_{};
    Resources worst_{};
    int checkpoints_ = 0;

    // What the reader holds, as far as the soak knows (empty: unknown).
    std::optional<Bytes> block2_;
    std::optional<Bytes> block6_;
};

Soak::Phase Soak::plan(const FaultKind& kind) {
    Phase p;
    p.kind = &kind;
    static const int commands[] = {0xF0, 0xF4, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x82, 0x86};
    if (kind.replyFault) {
        // Mostly one command, so that the connection opens and the others must still work.
        if (!chance(25)) {
            p.command = commands[pick(std::size(commands))];
        }
        if (chance(30)) {
            p.count = 1 + static_cast<int>(pick(3));
        }
    }
    p.crc = kind.face != Face::Hid && chance(20);
    // A reader that speaks only the CRC framing takes the STX identification for the start of a
    // frame and answers the CRC one only after its idle gap (200 ms): shorter timeouts cannot
    // identify it.
    p.timeoutMs = kind.effect == Effect::None ? 1000 : p.crc ? 250 : (chance(50) ? 150 : 250);
    p.flags = chance(20) ? QN_FLAG_STX_ONLY : 0;
    if (chance(30)) {
        p.flags |= QN_FLAG_KEEP_ENABLED;
    }
    p.callback = chance(50);
    p.kill = kind.effect != Effect::OpenRefused && chance(30);
    p.exchanges = 10 + static_cast<int>(pick(30));
    return p;
}

std::unique_ptr<SimProcess> Soak::startSim(const Phase& phase, bool withFault) {
    std::vector<std::string> args;
    const Face face = phase.kind->face;
    if (face == Face::Hid) {
        args = {"--hid", "--socket", hidSocket_};
    } else if (face == Face::Lan) {
        args = {"--lan", kLanModule};
    }
    if (phase.crc) {
        args.insert(args.end(), {"--framing", "crc"});
    }
    if (withFault) {
        args.insert(args.end(), phase.kind->args.begin(), phase.kind->args.end());
        if (phase.command >= 0) {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%02X", phase.command);
            args.insert(args.end(), {"--fault-command", hex});
        }
        if (phase.count > 0) {
            args.insert(args.end(), {"--fault-count", std::to_string(phase.count)});
        }
    }
    std::unique_ptr<SimProcess> sim;
    if (face == Face::Lan) {
        auto [program, prefix] = lab_->inModuleSide("m", QN_SIM_PATH);
        prefix.insert(prefix.end(), args.begin(), args.end());
        sim = std::make_unique<SimProcess>(program, prefix);
    } else {
        sim = std::make_unique<SimProcess>(args);
    }
    {
        std::lock_guard<std::mutex> lock(g_simMutex);
        g_simPids.insert(sim->pid());
    }
    return sim;
}

void forgetSim(SimProcess& sim) {
    std::lock_guard<std::mutex> lock(g_simMutex);
    g_simPids.erase(sim.pid());
}

std::string Soak::portName(const SimProcess& sim, Face face) const {
    switch (face) {
    case Face::Serial:
        return sim.port();
    case Face::Hid:
        return kHidName;
    case Face::Lan:
        return kLanModule;
    }
    return {};
}

// Opens the simulator's reader. Returns the handle, or 0 when the open failed as it may.
int Soak::open(const Phase& phase, const SimProcess& sim, bool faultFree) {
    const FaultKind& kind = *phase.kind;
    const Face face = kind.face;
    const int identify = std::min(phase.timeoutMs, kIdentifyTimeoutMs);
    // STX, STX again on a fresh connection, CRC: three phases, three phases, two.
    const long bound = 8L * identify + options_.marginMs;
    const std::string name = portName(sim, face);
    const int h = timed(std::string("open ") + faceName(face), bound, [&] {
        return QnOpenPort(name.c_str(), 19200, phase.flags, phase.timeoutMs);
    });
    ++opens_;
    const bool identifyRefused = !faultFree && kind.effect == Effect::Fails &&
                                 (phase.command < 0 || phase.command == 0xF0) && phase.count == 0;
    const bool crcRefused = phase.crc && (phase.flags & QN_FLAG_STX_ONLY) != 0;
    const bool mayFail =
        !faultFree && (kind.effect == Effect::MayFail ||
                       (kind.replyFault && (phase.command < 0 || phase.command == 0xF0)));
    if (!faultFree && kind.effect == Effect::OpenRefused) {
        if (h != QN_OPEN_HID_MODE) {
            fail("open gave " + std::to_string(h) + " instead of QN_OPEN_HID_MODE");
        }
        return 0;
    }
    if (identifyRefused || crcRefused) {
        if (h != QN_OPEN_NO_ANSWER) {
            fail("open gave " + std::to_string(h) + " instead of QN_OPEN_NO_ANSWER");
            if (h > 0) {
                close(h, face, false);
            }
        }
        return 0;
    }
    if (h > 0) {
        const int base = face == Face::Serial ? QN_HANDLE_SERIAL_BASE
                         : face == Face::Hid  ? QN_HANDLE_HID_BASE
                                              : QN_HANDLE_TCP_BASE;
        if (h <= base || h > base + 9999) {
            fail("handle " + std::to_string(h) + " outside the range of its link kind");
        }
        return h;
    }
    if (!(mayFail && h == QN_OPEN_NO_ANSWER)) {
        fail("open gave " + std::to_string(h));
    }
    return 0;
}

void Soak::close(int handle, Face face, bool simGone) {
    // Closing a HID reader sends the mode message and waits for it to settle.
    const long bound = kHidCommandWaitMs + options_.marginMs;
    const int r =
        timed(std::string("close ") + faceName(face), bound, [&] { return QnClosePort(handle); });
    ++closes_;
    // An unplugged HID reader's handle is gone once an exchange noticed it.
    const bool mayBeUnknown = simGone && face == Face::Hid;
    if (r != 0 && !(mayBeUnknown && r == -1)) {
        fail("close gave " + std::to_string(r));
    }
    if (QnGetLastError(handle) != QN_ERR_UNKNOWN_HANDLE) {
        fail("the handle is still known after its close");
    }
}

// One random operation on an open connection, checked against what the phase allows.
void Soak::exchange(int h, const Phase& phase, bool faultActive, bool simGone) {
    const FaultKind& kind = *phase.kind;
    const Face face = kind.face;
    const int phases = phase.crc ? 2 : 3;
    long bound = static_cast<long>(phases) * phase.timeoutMs + options_.marginMs;
    if (simGone && face == Face::Lan) {
        bound += kTcpConnectLimitMs; // the link connects again before it sends
    }
    int op = static_cast<int>(pick(face == Face::Hid ? 10 : 8));
    int command = 0;
    Bytes written;
    std::array<unsigned char, 256> buffer{};
    std::function<int()> call;
    std::string what;
    int block = 0;
    switch (op) {
    case 0:
        command = 0xF0;
        what = "QnReadDeviceType";
        call = [&] {
            return QnReadDeviceType(h, buffer.data(), static_cast<int>(buffer.size()), nullptr, 0);
        };
        break;
    case 1:
        command = 0xF4;
        what = "QnReadMode";
        call = [&] { return QnReadMode(h); };
        break;
    case 2:
    case 3:
        block = 1 + static_cast<int>(pick(6));
        command = 0x88 + block;
        what = "QnReadParameterBlock" + std::to_string(block);
        call = [&, block] {
            using Read = int (*)(int, unsigned char*, int);
            static const Read reads[] = {QnReadParameterBlock1, QnReadParameterBlock2,
                                         QnReadParameterBlock3, QnReadParameterBlock4,
                                         QnReadParameterBlock5, QnReadParameterBlock6};
            return reads[block - 1](h, buffer.data(), static_cast<int>(buffer.size()));
        };
        break;
    case 4:
        command = 0x82;
        what = "QnWriteParameterBlock2";
        written.resize(1 + pick(100));
        for (auto& b : written) {
            b = static_cast<unsigned char>(pick(256));
        }
        call = [&] {
            return QnWriteParameterBlock2(h, written.data(), static_cast<int>(written.size()));
        };
        break;
    case 5:
        command = 0x86;
        what = "QnWriteParameterBlock6";
        written = {0x00, static_cast<unsigned char>(1 + pick(200)), '?',
                   static_cast<unsigned char>(1 + pick(200))};
        call = [&] { return QnWriteParameterBlock6(h, written.data(), 4); };
        break;
    case 6:
        block = 2;
        command = 0x8A;
        what = "QnTransact(8A)";
        call = [&] {
            return QnTransact(h, 0x8A, nullptr, 0, buffer.data(), static_cast<int>(buffer.size()));
        };
        break;
    case 7: {
        // Bytes that arrived unasked are handed out at once.
        const int r = timed("QnReadReceived", options_.marginMs, [&] {
            return QnReadReceived(h, buffer.data(), static_cast<int>(buffer.size()));
        });
        if (r < 0 && !(simGone && face == Face::Hid)) {
            fail("QnReadReceived gave " + std::to_string(r));
        }
        return;
    }
    case 8: {
        // Key query on the HID control channel: 11 c, answered 11 c modifier usage.
        const unsigned char c = static_cast<unsigned char>('a' + pick(26));
        const unsigned char query[] = {0x11, c};
        const int r = timed("QnHidCommand", kHidCommandWaitMs + options_.marginMs, [&] {
            return QnHidCommand(h, query, 2, buffer.data(), static_cast<int>(buffer.size()));
        });
        if (simGone) {
            if (r != -1) {
                fail("QnHidCommand to an unplugged reader gave " + std::to_string(r));
            }
            return;
        }
        if (faultActive && kind.args == std::vector<std::string>{"--hid-fault", "wrong-echo"}) {
            if (r != -1) {
                fail("QnHidCommand took an answer with the wrong first byte");
            }
        } else if (r < 4 || buffer[0] != 0x11 || buffer[1] != c) {
            fail("QnHidCommand gave " + std::to_string(r));
        } else if (faultActive &&
                   kind.args == std::vector<std::string>{"--hid-fault", "query-ff"} &&
                   (buffer[2] != 0xFF || buffer[3] != 0xFF)) {
            fail("QnHidCommand did not pass on the reader's FF FF");
        }
        return;
    }
    default: {
        // Key setting on the HID control channel (the character's own key again).
        const unsigned char set[] = {0x12, static_cast<unsigned char>('0' + pick(10)), 0x00, 0x27};
        const int r = timed("QnHidControlWrite", kHidControlSettleMs + options_.marginMs,
                            [&] { return QnHidControlWrite(h, set, 4); });
        if (r != (simGone ? -1 : 0)) {
            fail("QnHidControlWrite gave " + std::to_string(r));
        }
        return;
    }
    }

    const int r = timed(what, bound, call);
    ++exchanges_;
    ++exchangesByKind_[kind.name];
    // Which outcome the phase allows for this command.
    const bool applies =
        faultActive && kind.replyFault && (phase.command < 0 || phase.command == command);
    const bool mustFail = simGone || (applies && kind.effect == Effect::Fails && phase.count == 0);
    const bool mayFail = applies || (faultActive && kind.effect == Effect::MayFail) ||
                         (faultActive && kind.lateBytes);
    // What this phase narrows the documented codes to.
    std::set<int> expected;
    if (applies && kind.status != 0 && phase.count == 0) {
        expected = {kind.status};
    }
    if (simGone) {
        expected = {QN_ERR_TIMEOUT};
        if (face == Face::Hid) {
            // The first call that notices the unplugged reader ends its connection.
            expected.insert(QN_ERR_UNKNOWN_HANDLE);
        }
    }
    if (r < 0) {
        ++failedExchanges_;
        const int error = QnGetLastError(h);
        ++errors_[error];
        std::set<int> documented = documentedErrors(what);
        if (applies && kind.status != 0) {
            documented.insert(kind.status); // the reader's own status byte
        }
        if (simGone && face == Face::Hid) {
            documented.insert(QN_ERR_UNKNOWN_HANDLE);
        }
        if (!mayFail && !mustFail) {
            fail(what + " failed with error " + std::to_string(error));
        } else if (documented.count(error) == 0) {
            fail(what + " failed with error " + std::to_string(error) +
                 ", which it does not document");
        } else if (!expected.empty() && expected.count(error) == 0) {
            fail(what + " failed with error " + std::to_string(error) + " instead of " +
                 std::to_string(*expected.begin()));
        }
        if (command == 0x82) {
            block2_.reset();
        } else if (command == 0x86) {
            block6_.reset();
        }
        return;
    }
    if (mustFail) {
        fail(what + " reported success although the reader's answer was faulty (" +
             std::to_string(r) + ")");
        return;
    }
    // A success must carry what the reader holds.
    if (command == 0x82 || command == 0x86) {
        if (r != 0) {
            fail(what + " gave " + std::to_string(r));
        }
        (command == 0x82 ? block2_ : block6_) = written;
    } else if (block == 2 || block == 6) {
        auto& held = block == 2 ? block2_ : block6_;
        const Bytes got(buffer.begin(), buffer.begin() + std::min<int>(r, 256));
        if (held && *held != got) {
            fail(what + " returned other data than the reader holds");
        }
        held = got;
    } else if (command == 0xF0 && r < 4) {
        fail(what + " gave " + std::to_string(r));
    } else if (command == 0xF4 && (r < 0 || r > 127)) {
        fail(what + " gave " + std::to_string(r));
    }
}

// The module configuration over UDP: one answer window per query, one more for an answer that
// does not match.
void Soak::lanConfig(const Phase& phase, bool faultActive) {
    const bool refused = faultActive && phase.kind->effect == Effect::LanConfig;
    const long bound = 2L * kLanAnswerWindowMs + options_.marginMs;
    int r = 0;
    if (chance(50)) {
        char address[QN_LAN_TEXT_SIZE] = {}, name[QN_LAN_TEXT_SIZE] = {};
        r = timed("QnLanReadSettings", bound,
                  [&] { return QnLanReadSettings(kLanModule, name, address, nullptr, nullptr); });
        if (r == 0 && std::string(address) != std::string(kLanModule) + "-10001") {
            fail(std::string("QnLanReadSettings gave the address ") + address);
        }
    } else {
        char address[QN_LAN_ADDRESS_SIZE] = {};
        int port = -1;
        r = timed("QnLanReadRemoteHost", bound,
                  [&] { return QnLanReadRemoteHost(kLanModule, address, &port); });
    }
    if (r != (refused ? -1 : 0)) {
        fail("module configuration gave " + std::to_string(r));
    }
}

void Soak::runPhase(const Phase& phase) {
    const FaultKind& kind = *phase.kind;
    char command[16] = "";
    if (phase.command >= 0) {
        std::snprintf(command, sizeof command, " on %02X", phase.command);
    }
    context_ = kind.name + command + (phase.count > 0 ? " x" + std::to_string(phase.count) : "") +
               (phase.crc ? " crc" : "") + " t=" + std::to_string(phase.timeoutMs);
    ++phases_;
    ++phasesByKind_[kind.name];
    if (std::getenv("FAULT_SOAK_VERBOSE") != nullptr) {
        std::printf("phase %ld: %s\n", phases_, context_.c_str());
    }
    QnSetWaitCallback(phase.callback ? countWaits : nullptr, nullptr);
    block2_.reset();
    block6_.reset();

    auto sim = startSim(phase, true);
    int h = 0;
    for (int attempt = 0; attempt < 3 && h == 0; ++attempt) {
        h = open(phase, *sim, false);
        if (h == 0 &&
            (kind.effect == Effect::OpenRefused || !kind.replyFault || phase.count == 0)) {
            break; // it fails again
        }
    }
    bool faultActive = true;
    const int killAt = phase.kill ? phase.exchanges / 2 : -1;
    for (int i = 0; i < phase.exchanges && h > 0; ++i) {
        if (Clock::now() >= end_ || (options_.exchanges > 0 && exchanges_ >= options_.exchanges)) {
            break;
        }
        if (i == killAt) {
            // Unplugged: the simulator dies under the open connection.
            ::kill(sim->pid(), SIGKILL);
            while (sim->running()) {
                std::this_thread::sleep_for(Ms(1));
            }
            forgetSim(*sim);
            ++kills_;
            for (int k = 0; k < 2; ++k) {
                exchange(h, phase, faultActive, true);
            }
            close(h, kind.face, true);
            sim.reset();
            // A new reader, without faults: the next open must work.
            sim = startSim(phase, false);
            faultActive = false;
            block2_.reset();
            block6_.reset();
            Phase clean = phase;
            clean.flags &= ~QN_FLAG_STX_ONLY;
            h = open(clean, *sim, true);
            if (h == 0) {
                fail("no open after the reader came back");
            }
            continue;
        }
        if (chance(5)) {
            // Close and open again on the same reader.
            close(h, kind.face, false);
            h = open(phase, *sim, !faultActive);
            if (h == 0) {
                break;
            }
        }
        exchange(h, phase, faultActive, false);
        if (kind.face == Face::Lan && chance(10)) {
            lanConfig(phase, faultActive);
        }
    }
    if (kind.face == Face::Lan && (kind.effect == Effect::LanConfig || chance(30))) {
        lanConfig(phase, faultActive);
    }
    if (h > 0) {
        close(h, kind.face, false);
    }
    forgetSim(*sim);
    sim.reset();
}

void Soak::checkpoint(bool final) {
    QnSetWaitCallback(nullptr, nullptr);
    const Resources now = resourcesNow();
    ++checkpoints_;
    if (!baseline_) {
        baseline_ = now; // after the warm-up: libraries loaded, arenas made
        first_ = now;
        worst_ = now;
        return;
    }
    worst_.fds = std::max(worst_.fds, now.fds);
    worst_.threads = std::max(worst_.threads, now.threads);
    worst_.rssKib = std::max(worst_.rssKib, now.rssKib);
    if (now.fds > baseline_->fds + 2) {
        fail("open descriptors grew from " + std::to_string(baseline_->fds) + " to " +
             std::to_string(now.fds));
    }
    if (now.threads > baseline_->threads) {
        fail("threads grew from " + std::to_string(baseline_->threads) + " to " +
             std::to_string(now.threads));
    }
#ifndef SOAK_ASAN // AddressSanitizer keeps freed memory in quarantine; its leak check runs at exit
    if (now.rssKib > baseline_->rssKib + options_.rssToleranceKib) {
        fail("resident memory grew from " + std::to_string(baseline_->rssKib) + " KiB to " +
             std::to_string(now.rssKib) + " KiB");
    }
#endif
    if (final) {
        return;
    }
    std::printf("checkpoint %d: %ld exchanges, %ld fds, %ld threads, %ld KiB RSS\n", checkpoints_,
                exchanges_, now.fds, now.threads, now.rssKib);
    std::fflush(stdout);
}

int Soak::run() {
    const auto start = Clock::now();
    end_ = start + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(options_.seconds));
    const std::vector<FaultKind> kinds = catalogue(lab_ != nullptr);
    std::printf("fault_soak: seed %llu, %zu fault kinds, %.0f s%s\n",
                static_cast<unsigned long long>(options_.seed), kinds.size(), options_.seconds,
                lab_ == nullptr ? " (no Ethernet faces: network namespaces unavailable)" : "");
    std::fflush(stdout);
    std::vector<std::size_t> order(kinds.size());
    long cycles = 0;
    for (;;) {
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        for (std::size_t i = order.size(); i > 1; --i) {
            std::swap(order[i - 1], order[pick(i)]);
        }
        for (std::size_t i : order) {
            runPhase(plan(kinds[i]));
            if (phases_ % 12 == 0) {
                checkpoint(false);
            }
            if (failures_ > 30) {
                break;
            }
        }
        ++cycles;
        const bool enough =
            options_.exchanges > 0 ? exchanges_ >= options_.exchanges : Clock::now() >= end_;
        if (enough || failures_ > 30) {
            break;
        }
    }
    checkpoint(true);
    const long seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
    const Resources now = resourcesNow();
    std::printf("seed %llu: %ld s, %ld cycles through %zu fault kinds, %ld phases\n",
                static_cast<unsigned long long>(options_.seed), seconds, cycles, kinds.size(),
                phases_);
    std::printf("calls %ld, exchanges %ld (%ld failed as the faults demand), opens %ld, closes "
                "%ld, kill/restart %ld\n",
                calls_, exchanges_, failedExchanges_, opens_, closes_, kills_);
    std::printf("errors:");
    for (const auto& [code, n] : errors_) {
        std::printf(" %d x%ld", code, n);
    }
    std::printf("\nexchanges by fault kind:\n");
    for (const auto& [name, n] : phasesByKind_) {
        std::printf("  %-28s %6ld in %ld phases\n", name.c_str(), exchangesByKind_[name], n);
    }
    std::printf("slowest call against its bound: %s %ld ms of %ld ms (%.0f %%)\n",
                slowest_.what.c_str(), slowest_.tookMs, slowest_.boundMs, slowest_.ratio * 100);
    std::printf("resources after warm-up: %ld fds, %ld threads, %ld KiB RSS; at the end: %ld fds, "
                "%ld threads, %ld KiB RSS; highest checkpoint: %ld fds, %ld threads, %ld KiB\n",
                first_.fds, first_.threads, first_.rssKib, now.fds, now.threads, now.rssKib,
                worst_.fds, worst_.threads, worst_.rssKib);
    std::printf("%s: %ld failures\n", failures_ == 0 ? "PASSED" : "FAILED", failures_);
    return failures_ == 0 ? 0 : 1;
}

bool parse(int argc, char** argv, Options& options) {
    std::random_device device;
    options.seed = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--seconds") {
            options.seconds = std::atof(value);
        } else if (arg == "--exchanges") {
            options.exchanges = std::atol(value);
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value, nullptr, 10);
        } else if (arg == "--margin") {
            options.marginMs = std::atoi(value);
        } else if (arg == "--rss-tolerance") {
            options.rssToleranceKib = std::atol(value);
        } else {
            return false;
        }
    }
    return options.seconds > 0 && options.marginMs >= 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const bool help = argc == 2 && std::string(argv[1]) == "--help";
    if (help || !parse(argc, argv, options)) {
        std::fprintf(help ? stdout : stderr,
                     "usage: fault_soak [--seconds N] [--exchanges N] [--seed N] [--margin MS] "
                     "[--rss-tolerance KIB]\n"
                     "  --seconds    run time; the running cycle through the faults is finished "
                     "[30]\n"
                     "  --exchanges  stop after this many exchanges instead\n"
                     "  --seed       repeat the choices of an earlier run [random, printed]\n"
                     "  --margin     added to every call's bound [400]\n"
                     "  --rss-tolerance  growth of resident memory allowed after the warm-up "
                     "[4096]\n");
        return help ? 0 : 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    ::unsetenv("QN_SYSFS_ROOT");
    ::unsetenv("QN_HIDAPI_STANDIN_FAIL_OPEN");

    // The Ethernet reader lives in a network namespace of its own, reached through one adapter.
    auto lab = std::make_unique<NetworkLab>();
    NetworkLab* usable = nullptr;
    if (lab->create()) {
        lab->link("qs", "10.78.1.1/24", "m", std::string(kLanModule) + "/24");
        lab->addAddress("m", "qs", std::string(kLanOther) + "/24");
        lab->enterProgramSide();
        usable = lab.get();
    } else if (std::getenv("VELTRA_REQUIRE_NETNS") != nullptr) {
        std::fprintf(stderr, "fault_soak: %s\n", lab->reason().c_str());
        return 1;
    }
    int result = 0;
    {
        Soak soak(options, usable);
        result = soak.run();
    }
    return result;
}
