// The production station's parallelism: one reader against three at once, each a simulator on
// a paced 19200-baud line (every byte takes its wire time), each programmed, read back and
// verified by the station on a thread of its own.
//   Station/1   one reader programmed and verified
//   Station/3   three readers at once
// Run: bench_station. Each runs 9 repetitions of one station run; at the end the program prints
// the medians and the ratio three/one, which should stay at or below 1.2.
#include "config/workflow/ReaderConnector.h"
#include "station/workflow/ProductionStation.h"

#include "tests/support/DoorConfiguration.h"
#include "tests/support/SimProcess.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

using veltra::test::SimProcess;

namespace {

constexpr int kRepetitions = 9;

std::vector<double> g_seconds[4];

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// A configuration for the simulated reader's model, written once.
const std::string& configurationFile() {
    static QTemporaryDir dir;
    static std::string file;
    if (!file.empty()) {
        return file;
    }
    SimProcess sim({"--type", "244", "--version", "K"});
    veltra::ConnectionTarget target;
    target.connectionString = sim.port();
    const veltra::OpenResult opened = veltra::openReaderConnection(target);
    if (opened.handle <= 0) {
        throw std::runtime_error("the simulator does not answer");
    }
    veltra::closeReaderConnection(opened.handle);
    file = dir.filePath("bench.mkr").toStdString();
    if (!veltra::test::writeDoorConfiguration(file, opened.identity.modelName)) {
        throw std::runtime_error("cannot write " + file);
    }
    return file;
}

void Station(benchmark::State& state) {
    const auto readers = static_cast<std::size_t>(state.range(0));
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> ports;
    for (std::size_t i = 0; i < readers; ++i) {
        sims.push_back(std::make_unique<SimProcess>(
            std::vector<std::string>{"--type", "244", "--version", "K", "--pace"}));
        ports.push_back(sims.back()->port());
    }
    veltra::StationSettings settings;
    settings.mkrPath = configurationFile();
    veltra::ProductionStation station(veltra::qnLink(), settings);
    std::string error;
    if (!station.prepare(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<veltra::AuditRecord> records = station.programReaders(ports);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        g_seconds[readers].push_back(seconds);
        for (const veltra::AuditRecord& r : records) {
            if (!r.ok) {
                state.SkipWithError(("a reader failed: " + r.message).c_str());
                return;
            }
        }
    }
}
BENCHMARK(Station)
    ->Arg(1)
    ->Arg(3)
    ->Iterations(1)
    ->Repetitions(kRepetitions)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double one = median(g_seconds[1]);
    const double three = median(g_seconds[3]);
    std::printf("median one reader: %.3f s, three at once: %.3f s, ratio %.3f (goal <= 1.2)\n", one,
                three, one > 0 ? three / one : 0.0);
    return 0;
}
