// The installed-games records as the library reports them, gathered into plain values for
// printing and export.
#pragma once

#include "lib/OrvaneLib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace OrvaneHost {

struct TPackageRecord {
    std::string id;
    std::string path;
    std::string version;
    bool installed = false;
};

struct TGameRecord {
    std::string id;
    std::string name;
    std::string version;
    std::string path;
    std::string installPath;
    std::string compatibilityFlags;
    bool installed = false;
    bool folderMissing = false;  // the recorded game folder is not on disk
    uint64_t totalSize = 0;
    uint64_t installSize = 0;
    int32_t vfsVersion = -1;  // -1: not set
    int32_t upid = -1;        // -1: not set
    std::vector<TPackageRecord> packages;
};

using TApplicationPtr = std::unique_ptr<OrvaneLib::ulIApplication>;
using TPackagePtr = std::unique_ptr<OrvaneLib::ulIPackage>;

TApplicationPtr openApplication(const std::string& id);
// The client object, made once: the library never releases it, so the host keeps it.
OrvaneLib::ulIClient& client();
// The ids of the recorded games, in the registry's order.
std::vector<std::string> recordedGameIds();
// True when the id is among the recorded games (compared as the registry compares key names).
bool hasRecord(const std::string& id);
// True when the id has a record or an entry in the Windows program list.
bool isKnownGame(const std::string& id);
TGameRecord readGame(const std::string& id);

}  // namespace OrvaneHost
