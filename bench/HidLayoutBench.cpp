// A keyboard reader's layout against the simulated HID reader (stand-in hidapi): reading the
// whole layout (95 key queries) and programming a layout that differs in 10 characters, each
// set against the cost of its single exchanges measured on the same reader. The counters
// "ratio" say how many times their exchanges' cost an operation takes (goal: at most 1.5).
//   bench_hid_layout --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "config/workflow/ReaderLink.h"
#include "keys/KeyLayout.h"
#include "keys/workflow/DeviceLayout.h"
#include "tests/support/SimProcess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace {

using veltra::KeyCodeForChar;
using veltra::KeyLayout;
using veltra::LayoutExchangeCount;
using veltra::qnLink;
using veltra::ReaderLink;
using veltra::test::SimProcess;
using Clock = std::chrono::steady_clock;

struct Reader {
    std::unique_ptr<SimProcess> sim;
    int handle = 0;
    Reader() {
        sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--hid", "--serial", "1650-000777"});
        ::setenv("QN_SIM_HID_SOCKETS", sim->port().c_str(), 1);
        ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
        handle = qnLink().openPort("1650-000777 HID", 19200, 0, 500);
    }
    ~Reader() {
        if (handle > 0) {
            qnLink().closePort(handle);
        }
    }
};

Reader& reader() {
    static Reader instance;
    return instance;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Mean time of one key query and of one set-key message (which includes the reader's settling
// pause), each repeated on characters the layout does not care about.
struct ExchangeCost {
    double query = 0;
    double setKey = 0;
    double readMode = 0;
};

ExchangeCost measureExchanges(ReaderLink& link, int handle) {
    constexpr int kRounds = 50;
    ExchangeCost cost;
    unsigned char reply[10];
    auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        const unsigned char query[] = {0x11, 'a'};
        link.hidCommand(handle, query, 2, reply, sizeof reply);
    }
    cost.query = seconds(Clock::now() - start) / kRounds;
    start = Clock::now();
    for (int i = 0; i < kRounds / 5; ++i) {
        const unsigned char set[] = {0x12, 0x1B, 0x00, 0x29};
        link.hidControlWrite(handle, set, 4);
    }
    cost.setKey = seconds(Clock::now() - start) / (kRounds / 5);
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        link.readMode(handle);
    }
    cost.readMode = seconds(Clock::now() - start) / kRounds;
    return cost;
}

void BM_ReadWholeLayout(benchmark::State& state) {
    if (reader().handle <= 0) {
        state.SkipWithError("the simulated HID reader did not open");
        return;
    }
    const ExchangeCost cost = measureExchanges(qnLink(), reader().handle);
    double total = 0;
    LayoutExchangeCount count;
    for (auto _ : state) {
        KeyLayout layout;
        count = {};
        const auto start = Clock::now();
        if (!veltra::ReadDeviceLayout(qnLink(), reader().handle, layout, count)) {
            state.SkipWithError("the layout was not read");
            return;
        }
        total += seconds(Clock::now() - start);
    }
    const double perRead = total / static_cast<double>(state.iterations());
    state.counters["queries"] = count.queries;
    state.counters["query_us"] = cost.query * 1e6;
    state.counters["ratio"] = perRead / (count.queries * cost.query);
}

void BM_ProgramTenCharacters(benchmark::State& state) {
    if (reader().handle <= 0) {
        state.SkipWithError("the simulated HID reader did not open");
        return;
    }
    ReaderLink& link = qnLink();
    const int handle = reader().handle;
    const ExchangeCost cost = measureExchanges(link, handle);
    KeyLayout original;
    veltra::ReadDeviceLayout(link, handle, original);
    // Ten letters move to AltGr on their own keys.
    KeyLayout changed = original;
    for (int scan : {16, 17, 18, 19, 20, 21, 22, 23, 24, 25}) {
        auto& entry = changed.entries[static_cast<std::size_t>(scan)];
        entry[KeyLayout::AltGr] = entry[KeyLayout::Normal];
        entry[KeyLayout::Normal] = 0;
    }
    double total = 0;
    double expected = 0;
    LayoutExchangeCount count;
    bool toChanged = true;
    for (auto _ : state) {
        count = {};
        const auto start = Clock::now();
        if (!veltra::ProgramLayout(link, handle, toChanged ? changed : original, count)) {
            state.SkipWithError("programming the layout failed");
            return;
        }
        total += seconds(Clock::now() - start);
        expected += count.queries * cost.query + count.setKeys * cost.setKey +
                    count.modePolls * cost.readMode;
        toChanged = !toChanged;
    }
    state.counters["set_keys"] = count.setKeys;
    state.counters["queries"] = count.queries;
    state.counters["ratio"] = total / expected;
}

BENCHMARK(BM_ReadWholeLayout)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ProgramTenCharacters)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
