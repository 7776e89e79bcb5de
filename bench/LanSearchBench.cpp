// The Ethernet search over three adapters against one answer window: three network namespaces
// of modules, one behind each adapter of the program's namespace. All adapters are searched at
// once, so a search should cost one window (500 ms after the last answer), not three.
//   bench_lan_search --benchmark_repetitions=20 --benchmark_report_aggregates_only=true
// Needs root (network namespaces).
#include "qnlink.h"

#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

using veltra::test::NetworkLab;
using veltra::test::SimProcess;

struct Lab {
    NetworkLab lab;
    std::vector<std::unique_ptr<SimProcess>> modules;
    bool ready = false;
    Lab() {
        if (!lab.create()) {
            return;
        }
        const char* sides[] = {"m1", "m2", "m3"};
        for (int i = 0; i < 3; ++i) {
            const std::string net = "10.79." + std::to_string(i + 1) + ".";
            lab.link("b" + std::to_string(i), net + "1/24", sides[i], net + "10/24");
            auto [program, args] = lab.inModuleSide(sides[i], QN_SIM_PATH);
            args.insert(args.end(), {"--lan", net + "10"});
            modules.push_back(std::make_unique<SimProcess>(program, args));
        }
        lab.enterProgramSide();
        ready = true;
    }
};

Lab& lab() {
    static Lab instance;
    return instance;
}

// The whole search as a program calls it: three broadcasts, three answers, one window.
void BM_SearchLanDevicesThreeAdapters(benchmark::State& state) {
    if (!lab().ready) {
        state.SkipWithError(lab().lab.reason().c_str());
        return;
    }
    std::array<char, 2500> buffer{};
    for (auto _ : state) {
        const int used = QnSearchLanDevices(buffer.data(), static_cast<int>(buffer.size()));
        if (used != 3 * 17 + 1) {
            state.SkipWithError("not every module answered");
            return;
        }
    }
    state.counters["window_ms"] = 500;
}
BENCHMARK(BM_SearchLanDevicesThreeAdapters)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
