// orvane list, list --json, show (of a recorded and of an unknown id) and uninstall of a one-file
// game run in-process over 10, 100, 1,000 and 10,000 recorded games on one hive file, which grows
// between the sizes. The goals at 10,000 games: list and uninstall under 300 ms, show under 20 ms,
// and list growing at most 12x from 1,000 games.
#include "bench/GameHive.h"
#include "tools/orvane/Commands.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

// Sends what the commands print, and the complaint about an unknown id, to /dev/null while it
// lives.
class TQuietOutput {
public:
    TQuietOutput() {
        fflush(stdout);
        fflush(stderr);
        const int null = open("/dev/null", O_WRONLY);
        for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            saved_[stream] = dup(stream);
            dup2(null, stream);
        }
        close(null);
    }
    ~TQuietOutput() {
        fflush(stdout);
        fflush(stderr);
        for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            dup2(saved_[stream], stream);
            close(saved_[stream]);
        }
    }
    TQuietOutput(const TQuietOutput&) = delete;
    TQuietOutput& operator=(const TQuietOutput&) = delete;

private:
    int saved_[3] = {-1, -1, -1};
};

OrvaneBench::TGameHive* hive = nullptr;

void runCommand(benchmark::State& state, int games, const std::function<int()>& command) {
    hive->growTo(games);
    int status = 0;
    {
        TQuietOutput quiet;
        for (auto _ : state) {
            status = command();
        }
    }
    state.counters["status"] = status;
}

// Each round records a game with one file and then removes it; only the removal is timed. The
// guard reads every other game's folders, so this grows with the games recorded.
void uninstallOneFileGame(benchmark::State& state, int games) {
    using namespace OrvaneHost;
    hive->growTo(games);
    const std::string id = "onefile";
    const std::string folder = "C:\\Games\\" + id;
    int status = 0;
    TQuietOutput quiet;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::create_directories(hive->onDrive("Games/" + id));
        fclose(fopen(hive->onDrive("Games/" + id + "/game.exe").c_str(), "w"));
        status = registerGame({id, folder + "\\game.exe", folder, id, "1", folder + "\\game.exe"});
        state.ResumeTiming();
        status |= uninstallGame(id);
    }
    state.counters["status"] = status;
}

}  // namespace

int main(int argc, char** argv) {
    OrvaneBench::TGameHive games;
    hive = &games;
    using namespace OrvaneHost;
    // By size first, so that the hive only ever grows.
    for (int count : {10, 100, 1000, 10000}) {
        const std::string known = OrvaneBench::gameId(count / 2);
        const std::pair<const char*, std::function<int()>> commands[] = {
            {"list", [] { return listGames(false); }},
            {"listJson", [] { return listGames(true); }},
            {"showRecorded", [known] { return showGame(known, false); }},
            {"showUnknown", [] { return showGame("nosuchgame", false); }},
        };
        for (const auto& [name, command] : commands) {
            benchmark::RegisterBenchmark((std::string(name) + "/" + std::to_string(count)).c_str(),
                                         [count, command = command](benchmark::State& state) {
                                             runCommand(state, count, command);
                                         })
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(
            ("uninstallOneFile/" + std::to_string(count)).c_str(),
            [count](benchmark::State& state) { uninstallOneFileGame(state, count); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
