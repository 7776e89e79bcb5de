// The device link against its physical bounds:
//   RoundTrip/Library   one QnReadMode exchange with the simulator through the library
//   RoundTrip/Bare      the same request and reply written and read directly on the same
//                       kind of pseudo-terminal with the same simulator (the floor)
//   SilentReaderCpu     process CPU time while an exchange waits 2 s for a silent reader
//   IdleConnectionCpu   process CPU time of one open, unused connection over 5 s
// Run: bench_devicelink. RoundTrip runs 20 repetitions, the CPU benchmarks 5; each reports the
// median over its repetitions (the counters of the "_median" rows). At the end the program
// prints the round-trip ratio library/bare as the median of the repetitions' ratios.
#include "qnlink.h"

#include "tests/support/SimProcess.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using veltra::test::SimProcess;

namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr int kRoundTripRepetitions = 20;
constexpr int kCpuRepetitions = 5;

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// One entry per RoundTrip repetition, for the summary line.
struct RoundTripFigures {
    std::vector<double> library, bare, ratio;
};
RoundTripFigures roundTrips;

// One request/reply on a raw terminal without any library: write the frame, read until the
// whole 6-byte reply is there.
double bareRoundTrip(int fd) {
    static const unsigned char request[5] = {0x02, 0x01, 0xF4, 0x00, 0xF5};
    std::array<unsigned char, 64> reply{};
    const auto start = Clock::now();
    if (write(fd, request, sizeof request) != static_cast<ssize_t>(sizeof request)) {
        throw std::runtime_error("write");
    }
    std::size_t got = 0;
    while (got < 6) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) {
            throw std::runtime_error("no reply");
        }
        const ssize_t n = read(fd, reply.data() + got, reply.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        }
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

int openRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetspeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void RoundTrip(benchmark::State& state) {
    constexpr int kSamples = 1000;
    std::vector<double> library, bare;
    for (auto _ : state) {
        state.PauseTiming();
        SimProcess sim;
        const int h = QnOpenPort(sim.port().c_str(), 19200, QN_FLAG_KEEP_ENABLED, 1000);
        if (h <= 0) {
            state.SkipWithError("open failed");
            return;
        }
        state.ResumeTiming();
        // Interleaved, so both see the same machine load.
        for (int i = 0; i < kSamples; ++i) {
            const auto start = Clock::now();
            if (QnReadMode(h) < 0) {
                state.SkipWithError("exchange failed");
                QnClosePort(h);
                return;
            }
            library.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            if (i % 50 == 49) {
                QnClosePort(h);
                const int fd = openRaw(sim.port());
                for (int j = 0; j < 50; ++j) {
                    bare.push_back(bareRoundTrip(fd));
                }
                close(fd);
                const int again = QnOpenPort(sim.port().c_str(), 19200, QN_FLAG_KEEP_ENABLED, 1000);
                if (again != h) {
                    state.SkipWithError("reopen failed");
                    return;
                }
            }
        }
        QnClosePort(h);
    }
    const double lib = median(library);
    const double raw = median(bare);
    const double ratio = raw > 0 ? lib / raw : 0;
    state.counters["library_us"] = lib;
    state.counters["bare_us"] = raw;
    state.counters["ratio"] = ratio;
    roundTrips.library.push_back(lib);
    roundTrips.bare.push_back(raw);
    roundTrips.ratio.push_back(ratio);
}
BENCHMARK(RoundTrip)
    ->Iterations(1)
    ->Repetitions(kRoundTripRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SilentReaderCpu(benchmark::State& state) {
    for (auto _ : state) {
        SimProcess sim({"--fault", "silent", "--fault-command", "F4"});
        const int h = QnOpenPort(sim.port().c_str(), 19200, 0, 2000);
        if (h <= 0) {
            state.SkipWithError("open failed");
            return;
        }
        const double cpu0 = processCpuSeconds();
        const auto wall0 = Clock::now();
        const int result = QnReadMode(h);
        const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
        const double cpu = processCpuSeconds() - cpu0;
        if (result != -1 || QnGetLastError(h) != QN_ERR_TIMEOUT) {
            state.SkipWithError("the exchange did not time out");
        }
        QnClosePort(h);
        state.counters["wall_s"] = wall;
        state.counters["cpu_ms"] = cpu * 1000;
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
    }
}
BENCHMARK(SilentReaderCpu)
    ->Iterations(1)
    ->Repetitions(kCpuRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void IdleConnectionCpu(benchmark::State& state) {
    for (auto _ : state) {
        SimProcess sim({"--interval", "0"});
        const int h = QnOpenPort(sim.port().c_str(), 19200, 0, 500);
        if (h <= 0) {
            state.SkipWithError("open failed");
            return;
        }
        const double cpu0 = processCpuSeconds();
        const auto wall0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
        const double cpu = processCpuSeconds() - cpu0;
        QnClosePort(h);
        state.counters["cpu_ms"] = cpu * 1000;
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
    }
}
BENCHMARK(IdleConnectionCpu)
    ->Iterations(1)
    ->Repetitions(kCpuRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!roundTrips.ratio.empty()) {
        std::printf("RoundTrip, median of %zu repetitions: library %.1f us, bare %.1f us, "
                    "ratio %.2f\n",
                    roundTrips.ratio.size(), median(roundTrips.library), median(roundTrips.bare),
                    median(roundTrips.ratio));
    }
    return 0;
}
