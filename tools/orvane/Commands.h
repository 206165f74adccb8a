// The commands of the host. Each returns the process's exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace OrvaneHost {

constexpr int kSuccess = 0;
// The operation did not happen or did not complete; the reason is on stderr.
constexpr int kFailure = 1;
// The command line was refused before anything was touched.
constexpr int kBadInput = 2;

int showClientDirectory();
int setClientDirectory(const std::string& directory);

struct TRegistration {
    std::string id;
    std::string path;
    std::string installPath;
    std::string name;
    std::string version;
    std::string icon;
};
int registerGame(const TRegistration& registration);

int listGames(bool json);
int showGame(const std::string& id, bool json);

struct TGameSettings {
    std::string id;
    std::optional<uint64_t> totalSize;
    std::optional<uint64_t> installSize;
    std::optional<std::string> compatibilityFlags;
    std::optional<int32_t> vfsVersion;
    std::optional<int32_t> upid;
};
int setGameProperties(const TGameSettings& settings);

int addPackage(const std::string& id, const std::string& packageId, const std::string& path,
               const std::string& version);
int listPackages(const std::string& id);
int removePackage(const std::string& id, const std::string& packageId);

int uninstallGame(const std::string& id);
// What uninstall would delete, or why it would refuse; touches nothing.
int planUninstall(const std::string& id);

int clientBandwidth(std::optional<uint64_t> current, std::optional<uint64_t> max);
int clientFlag(uint32_t flagId, std::optional<bool> on);

// Every record (and the client's settings) when id is empty; to stdout when file is empty.
int exportRecords(const std::string& id, const std::string& file);

}  // namespace OrvaneHost
