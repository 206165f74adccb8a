// A hive file and a drive C: of the benchmark's own, filled with recorded games: each with its
// record and uninstall entry, its folder on C: (every tenth one missing) and, every fifth one, a
// package.
#pragma once

#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/RegistryEdits.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace OrvaneBench {

inline std::string gameId(int number) {
    return "game" + std::to_string(number);
}

class TGameHive {
public:
    // The folder is ORVANE_BENCH_HIVE_DIR when set (and then kept), else a new one in /tmp. Must
    // come before the first registry call, which opens the hive.
    TGameHive() {
        const char* kept = getenv("ORVANE_BENCH_HIVE_DIR");
        keep_ = kept != nullptr && *kept != '\0';
        char pattern[] = "/tmp/orvane-bench-XXXXXX";
        root_ = keep_ ? std::filesystem::path(kept) : std::filesystem::path(mkdtemp(pattern));
        drive_ = root_ / "C";
        setenv("ORVANE_PAL_HIVE", (root_ / "hive.sqlite3").c_str(), 1);
        setenv("ORVANE_PAL_DRIVE_C", drive_.c_str(), 1);
        std::filesystem::create_directories(drive_ / "Client");
        OrvaneHost::writeClientDirectory("C:\\Client");
    }
    ~TGameHive() {
        if (!keep_) {
            std::filesystem::remove_all(root_);
        }
    }
    TGameHive(const TGameHive&) = delete;
    TGameHive& operator=(const TGameHive&) = delete;

    // Records games until there are `count` (game0 .. game<count-1>).
    void growTo(int count) {
        for (; games_ < count; ++games_) {
            record(games_);
        }
    }
    int games() const { return games_; }
    // The folder on C: of the Windows path "C:\\<relative>".
    std::filesystem::path onDrive(const std::string& relative) const { return drive_ / relative; }

private:
    void record(int number) {
        using namespace OrvaneHost;
        const std::string id = gameId(number);
        const std::string folder = "C:\\Games\\" + id;
        const std::string record = kApplicationsKey + id;
        const std::string entry = kUninstallKey + (kUninstallEntryPrefix + id);
        const std::string command = "\"C:\\Client\\Orvane.exe\" /uninstall " + id;
        if (number % 10 != 0) {
            std::filesystem::create_directories(drive_ / "Games" / id / "dlc");
        }
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

    std::filesystem::path root_;
    std::filesystem::path drive_;
    bool keep_ = false;
    int games_ = 0;
};

}  // namespace OrvaneBench
