// Case-sensitive against case-insensitive TString::find over texts of 1 KiB to 64 KiB that do not
// hold the needle, so that every start is tried. The goal: case-insensitive within 3x.
#include "Common/General/TString.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace OrvaneLib;

namespace {

// Registry paths, whose repeated "Orvane\" keeps matching the needle's first seven bytes.
TString textOf(int64_t bytes) {
    const std::string unit = "Software\\Orvane\\Client\\Applications\\42\\";
    std::string text;
    while (static_cast<int64_t>(text.size()) < bytes) {
        text += unit;
    }
    text.resize(static_cast<size_t>(bytes));
    return TString(text.c_str());
}

void findAbsent(benchmark::State& state, bool caseSensitive) {
    const TString text = textOf(state.range(0));
    const TString needle("ORVANE\\SERVER");
    for (auto _ : state) {
        uint32_t position = 0;
        benchmark::DoNotOptimize(text.find(needle, position, caseSensitive));
        benchmark::DoNotOptimize(position);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void caseSensitiveFind(benchmark::State& state) {
    findAbsent(state, true);
}

void caseInsensitiveFind(benchmark::State& state) {
    findAbsent(state, false);
}

BENCHMARK(caseSensitiveFind)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);
BENCHMARK(caseInsensitiveFind)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);

}  // namespace

BENCHMARK_MAIN();
