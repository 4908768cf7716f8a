// Loading the uninstall log: time per entry from a thousand to a million entries, and the
// heap blocks an entry costs.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/sim/sim.h"
#include "support/log_builder.h"
#include "uninstall_log/log_loader.h"

namespace {

const char kLogPath[] = "C:\\Program Files\\Plexitone\\_pxunins.dat";

// A log of n file entries with paths of a typical length (about 50 characters).
std::string MakeLog(int64_t n)
{
    LogBuilder log;
    log.Header((int32_t)n);
    for (int64_t i = 0; i < n; i++)
        log.File("C:\\Program Files\\Plexitone\\Sounds\\Bank" + std::to_string(i % 97) +
                 "\\sample" + std::to_string(i) + ".wav");
    return log.Bytes();
}

void BM_LoadUninstallLog(benchmark::State& state)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    AddFile(kLogPath, MakeLog(state.range(0)));
    RemovalList list = {NULL, NULL};
    for (auto _ : state) {
        if (!LoadUninstallLog(&list, kLogPath))
            state.SkipWithError("the log was refused");
        state.PauseTiming();
        ClearRemovalList(&list);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["ns_per_entry"] = benchmark::Counter(
        (double)state.iterations() * (double)state.range(0),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Heap blocks per entry while loaded: the entry, its path and its node.
    LoadUninstallLog(&list, kLogPath);
    state.counters["blocks_per_entry"] =
        (double)Machine().heap.liveBlocks / (double)state.range(0);
    ClearRemovalList(&list);
}
BENCHMARK(BM_LoadUninstallLog)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
