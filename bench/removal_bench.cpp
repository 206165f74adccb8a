// Removing a game's 10,000 files (100 folders of 100) on tmpfs through the Shell's file operation,
// against `rm -rf` of the same tree. The goal: within 1.2 times `rm -rf`.
#include "platform/ShellDelete.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

const std::filesystem::path& treeRoot() {
    static const std::filesystem::path root =
        std::filesystem::path("/dev/shm") / ("orvane-removal-bench-" + std::to_string(getpid()));
    return root;
}

void makeTree() {
    const std::string content(100, 'x');
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::filesystem::path path = treeRoot() / ("folder" + std::to_string(folder));
        std::filesystem::create_directories(path);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const std::string name = (path / ("file" + std::to_string(file) + ".dat")).string();
            const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            benchmark::DoNotOptimize(write(descriptor, content.data(), content.size()));
            close(descriptor);
        }
    }
}

void fileOperation(benchmark::State& state) {
    uint32_t lastTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        makeTree();
        OrvaneLib::TArray<OrvaneLib::TString> paths;
        paths.add(OrvaneLib::TString(treeRoot().string().c_str()));
        state.ResumeTiming();
        const bool removed = OrvaneLib::shellDeletePaths(
            paths, [&lastTotal](uint32_t, uint32_t total) { lastTotal = total; });
        if (!removed || std::filesystem::exists(treeRoot())) {
            state.SkipWithError("the tree was not removed");
            break;
        }
    }
    state.counters["objects"] = lastTotal;
}
BENCHMARK(fileOperation)->Unit(benchmark::kMillisecond)->Iterations(20);

// rm started directly, without a shell in between: the command as a user's script runs it.
bool runRmRf() {
    std::string path = treeRoot().string();
    char rm[] = "rm";
    char flags[] = "-rf";
    char* arguments[] = {rm, flags, path.data(), nullptr};
    pid_t child = 0;
    int status = 0;
    return posix_spawnp(&child, "rm", nullptr, nullptr, arguments, environ) == 0 &&
           waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void rmRf(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        makeTree();
        state.ResumeTiming();
        if (!runRmRf() || std::filesystem::exists(treeRoot())) {
            state.SkipWithError("rm -rf did not remove the tree");
            break;
        }
    }
}
BENCHMARK(rmRf)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
