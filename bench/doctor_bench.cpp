// orvane doctor's checks over 10,000 recorded games on one hive file, with their folders on the
// mapped drive C: (every tenth one missing, every fifth one with a package). The goal: one pass
// in under 2 s.
#include "tools/orvane/Doctor.h"
#include "tools/orvane/Folders.h"
#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/RegistryEdits.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace OrvaneHost;

namespace {

constexpr int kGames = 10000;

void recordGame(int number) {
    const std::string id = "game" + std::to_string(number);
    const std::string folder = "C:\\Games\\" + id;
    const std::string record = kApplicationsKey + id;
    const std::string entry = kUninstallKey + (kUninstallEntryPrefix + id);
    const std::string command = "\"C:\\Client\\Orvane.exe\" /uninstall " + id;
    for (const TRawValue& value :
         {textValue("Path", folder + "\\game.exe"), textValue("InstallPath", folder),
          textValue("Version", "1.0"), textValue("InstallSize", "123456789")}) {
        writeRawValue(record, value);
    }
    for (const TRawValue& value :
         {textValue("DisplayName", id), textValue("DisplayVersion", "1.0"),
          textValue("DisplayIcon", folder + "\\game.ico"), numberValue("NoModify", 1),
          numberValue("NoRepair", 1), textValue("UninstallString", command),
          textValue("QuietUninstallString", command + " /S"),
          numberValue("EstimatedSize", 120564)}) {
        writeRawValue(entry, value);
    }
    if (number % 5 == 0) {
        writeRawValue(record + "\\Packages\\dlc", textValue("Path", folder + "\\dlc"));
    }
}

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
            const std::string id = "game" + std::to_string(number);
            benchmark::DoNotOptimize(readRawValues(kUninstallKey + (kUninstallEntryPrefix + id)));
        }
    }
}
BENCHMARK(readEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

void findFolders(benchmark::State& state) {
    for (auto _ : state) {
        for (int number = 0; number < kGames; ++number) {
            benchmark::DoNotOptimize(folderExists("C:\\Games\\game" + std::to_string(number)));
        }
    }
}
BENCHMARK(findFolders)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // A hive file and a drive C: of their own, chosen before the first call opens them.
    char root[] = "/tmp/orvane-doctor-bench-XXXXXX";
    if (mkdtemp(root) == nullptr) {
        return 1;
    }
    const std::filesystem::path drive = std::filesystem::path(root) / "C";
    setenv("ORVANE_PAL_HIVE", (std::string(root) + "/hive.sqlite3").c_str(), 1);
    setenv("ORVANE_PAL_DRIVE_C", drive.c_str(), 1);
    std::filesystem::create_directories(drive / "Client");
    writeClientDirectory("C:\\Client");
    for (int number = 0; number < kGames; ++number) {
        if (number % 10 != 0) {
            std::filesystem::create_directories(drive / "Games" /
                                                ("game" + std::to_string(number)) / "dlc");
        }
        recordGame(number);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return 0;
}
