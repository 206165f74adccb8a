#include "tools/orvane/GameRecords.h"

#include "Common/General/TString.h"
#include "tools/orvane/Folders.h"
#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/RegistryEdits.h"

namespace OrvaneHost {

namespace {

std::string text(const OrvaneLib::TString& value) {
    return value.c_str();
}

}  // namespace

TApplicationPtr openApplication(const std::string& id) {
    return TApplicationPtr(createApplication(OrvaneLib::TString(id.c_str())));
}

OrvaneLib::ulIClient& client() {
    static OrvaneLib::ulIClient* const instance = createClient();
    return *instance;
}

std::vector<std::string> recordedGameIds() {
    OrvaneLib::TArray<OrvaneLib::TString> games;
    getInstalledGames(games);
    std::vector<std::string> ids;
    for (uint32_t i = 0; i < games.getCount(); ++i) {
        ids.push_back(text(games.get(i)));
    }
    return ids;
}

bool hasRecord(const std::string& id) {
    // An id that is empty or holds a separator would name another key than its own.
    return !id.empty() && id.find('\\') == std::string::npos && keyExists(kApplicationsKey + id);
}

bool isKnownGame(const std::string& id) {
    return openApplication(id)->isInstalled() || hasRecord(id);
}

TGameRecord readGame(const std::string& id) {
    TApplicationPtr application = openApplication(id);
    TGameRecord game;
    game.id = id;
    game.name = text(application->getDisplayName());
    game.version = text(application->getVersion());
    game.path = text(application->getPath());
    game.installPath = text(application->getInstallPath());
    game.compatibilityFlags = text(application->getCompatibilityFlags());
    game.installed = application->isInstalled();
    game.folderMissing = folderMissing(game.installPath, game.path);
    game.totalSize = application->getTotalSize();
    game.installSize = application->getInstallSize();
    game.vfsVersion = application->getVFSVersion();
    game.upid = application->getUPID();
    OrvaneLib::TPointerArray<OrvaneLib::ulIPackage*> packages = application->getPackages();
    // The library lists packages last to first; show them in the registry's order.
    for (uint32_t i = packages.getCount(); i-- > 0;) {
        const OrvaneLib::ulIPackage* package = packages.get(i);
        game.packages.push_back({text(package->getName()), text(package->getPath()),
                                 text(package->getVersion()), package->isInstalled()});
    }
    return game;
}

}  // namespace OrvaneHost
