// orvane doctor's checks over 10,000 recorded games on one hive file, with their folders on the
// mapped drive C: (every tenth one missing, every fifth one with a package). The goal: one pass
// in under 2 s.
#include "bench/GameHive.h"
#include "tools/orvane/Doctor.h"
#include "tools/orvane/Folders.h"
#include "tools/orvane/HostRegistry.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace OrvaneHost;
using OrvaneBench::gameId;

namespace {

constexpr int kGames = 10000;

void doctorChecks(benchmark::State& state) {
    size_t problems = 0;
    for (auto _ : state) {
        problems = findProblems({}).size();
        benchmark::DoNotOptimize(problems);
    }
    state.counters["problems"] = static_cast<double>(problems);
}
BENCHMARK(doctorChecks)->Unit(benchmark::kMillisecond)->Iterations(3);

// The parts of one pass: listing the program list's entries, and reading each entry's values.
void listEntries(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(readSubkeyNames(kUninstallKey).size());
    }
}
BENCHMARK(listEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

void readEntries(benchmark::State& state) {
    for (auto _ : state) {
        for (int number = 0; number < kGames; ++number) {
            benchmark::DoNotOptimize(
                readRawValues(kUninstallKey + (kUninstallEntryPrefix + gameId(number))));
        }
    }
}
BENCHMARK(readEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

void findFolders(benchmark::State& state) {
    for (auto _ : state) {
        for (int number = 0; number < kGames; ++number) {
            benchmark::DoNotOptimize(folderExists("C:\\Games\\" + gameId(number)));
        }
    }
}
BENCHMARK(findFolders)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    OrvaneBench::TGameHive hive;
    hive.growTo(kGames);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
