// The cost of readRegistryValue and writeRegistryValue over the bare registry calls they wrap, on
// one hive file. Prints library / bare for each at the end; the goal is under 1.10.
#include "platform/Registry.h"

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace OrvaneLib;

namespace {

const char* const kKey = "Software\\OrvaneBench\\Values";
const WCHAR* const kWideKey = W("Software\\OrvaneBench\\Values");

void libraryWrite(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeRegistryValue(kKey, "Name", "Some short text", REG_SZ));
    }
}

void bareWrite(benchmark::State& state) {
    static const WCHAR text[] = W("Some short text");
    for (auto _ : state) {
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, kWideKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr);
        RegSetValueExW(key, W("Name"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        RegCloseKey(key);
    }
}

void libraryRead(benchmark::State& state) {
    TString key(kKey), name("Name");
    for (auto _ : state) {
        benchmark::DoNotOptimize(readRegistryValue(key, name, REG_SZ));
    }
}

void bareRead(benchmark::State& state) {
    for (auto _ : state) {
        HKEY key;
        RegOpenKeyExW(HKEY_CURRENT_USER, kWideKey, 0, KEY_QUERY_VALUE, &key);
        WCHAR text[64] = {};
        DWORD size = 0;
        RegQueryValueExW(key, W("Name"), nullptr, nullptr, nullptr, &size);
        RegQueryValueExW(key, W("Name"), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        benchmark::DoNotOptimize(text);
    }
}

BENCHMARK(bareWrite);
BENCHMARK(libraryWrite);
BENCHMARK(bareRead);
BENCHMARK(libraryRead);

// Keeps the real and CPU time per iteration of every benchmark it shows.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions the median stands for the benchmark.
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const char* what, const std::string& library, const std::string& bare) {
        if (times.count(library) != 0 && times.count(bare) != 0) {
            printf("%s: library / bare = %.3f real, %.3f CPU\n", what,
                   times[library].first / times[bare].first,
                   times[library].second / times[bare].second);
        }
    }

private:
    std::map<std::string, std::pair<double, double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    // A hive file of its own, chosen before the first registry call opens one.
    char hive[] = "/tmp/orvane-registry-bench-XXXXXX";
    int fd = mkstemp(hive);
    if (fd < 0) {
        return 1;
    }
    close(fd);
    unlink(hive);
    setenv("ORVANE_PAL_HIVE", hive, 1);

    benchmark::Initialize(&argc, argv);
    writeRegistryValue(kKey, "Name", "Some short text", REG_SZ);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("write", "libraryWrite", "bareWrite");
    reporter.printRatio("read", "libraryRead", "bareRead");
    benchmark::Shutdown();

    deleteRegistryKey("Software\\OrvaneBench");
    for (const char* suffix : {"", "-wal", "-shm"}) {
        unlink((std::string(hive) + suffix).c_str());
    }
    return 0;
}
