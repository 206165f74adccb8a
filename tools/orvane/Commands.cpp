#include "tools/orvane/Commands.h"

#include "tools/orvane/GameRecords.h"
#include "tools/orvane/HostLog.h"
#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/Output.h"
#include "tools/orvane/Progress.h"
#include "tools/orvane/RegFile.h"

#include "lib/RemovalGuard.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace OrvaneHost {

namespace {

using OrvaneLib::TString;

int fail(const std::string& message) {
    fprintf(stderr, "orvane: %s\n", message.c_str());
    return kFailure;
}

int unknownGame(const std::string& id) {
    return fail("no game \"" + id + "\" is recorded");
}

int print(const std::string& text) {
    fputs(text.c_str(), stdout);
    return kSuccess;
}

TString libraryText(const std::string& text) {
    return TString(text.c_str());
}

// Setters report nothing back: what was stored is read again.
template <typename T>
bool stored(const std::optional<T>& wanted, const T& found) {
    return !wanted || *wanted == found;
}

std::string applicationKey(const std::string& id) {
    return kApplicationsKey + id;
}

void exportClient(TRegFile& file) {
    file.beginKey(kClientKey);
    std::string directory = readClientDirectory();
    if (!directory.empty()) {
        file.addText("", directory);
    }
    if (uint64_t current = client().getCurrentBandwidth()) {
        file.addText("CurrentBandwidth", std::to_string(current));
    }
    if (uint64_t max = client().getMaxMeasuredBandwidth()) {
        file.addText("MaxMeasuredBandwidth", std::to_string(max));
    }
    std::vector<TRawValue> flags = readRawValues(kThirdPartyKey);
    if (!flags.empty()) {
        file.beginKey(kThirdPartyKey);
        for (const TRawValue& flag : flags) {
            file.addRaw(flag);
        }
    }
}

void addTextIfSet(TRegFile& file, const char* name, const std::string& text) {
    if (!text.empty()) {
        file.addText(name, text);
    }
}

void addSizeIfSet(TRegFile& file, const char* name, uint64_t size) {
    if (size != 0) {
        file.addText(name, std::to_string(size));
    }
}

// The getters read a missing number as -1, and a stored -1 as -1 too: the raw values tell them
// apart.
void addNumberIfSet(TRegFile& file, const std::vector<TRawValue>& record, const char* name,
                    int32_t number) {
    bool stored = std::any_of(record.begin(), record.end(),
                              [name](const TRawValue& value) { return value.name == name; });
    if (number != -1 || stored) {
        file.addNumber(name, static_cast<uint32_t>(number));
    }
}

struct TGameToExport {
    std::string id;
    bool recorded;  // false: only the Windows program list names it
};

// The record through the library; the uninstall entry, for which it has no getters, as stored.
void exportGame(TRegFile& file, const TGameToExport& which) {
    const std::string& id = which.id;
    if (which.recorded) {
        TGameRecord game = readGame(id);
        file.beginKey(applicationKey(id));
        addTextIfSet(file, "Path", game.path);
        addTextIfSet(file, "InstallPath", game.installPath);
        addTextIfSet(file, "Version", game.version);
        addSizeIfSet(file, "TotalSize", game.totalSize);
        addSizeIfSet(file, "InstallSize", game.installSize);
        addTextIfSet(file, "CompatibilityFlags", game.compatibilityFlags);
        std::vector<TRawValue> record = readRawValues(applicationKey(id));
        addNumberIfSet(file, record, "VFSVersion", game.vfsVersion);
        addNumberIfSet(file, record, "UPID", game.upid);
        for (const TPackageRecord& package : game.packages) {
            file.beginKey(applicationKey(id) + kPackagesSuffix + package.id);
            addTextIfSet(file, "Version", package.version);
            addTextIfSet(file, "Path", package.path);
        }
    }
    std::vector<TRawValue> entry = readRawValues(kUninstallKey + (kUninstallEntryPrefix + id));
    if (!entry.empty()) {
        file.beginKey(kUninstallKey + (kUninstallEntryPrefix + id));
        for (const TRawValue& value : entry) {
            file.addRaw(value);
        }
    }
}

// The recorded games, then those that only the Windows program list still names. Whether an
// entry's game has a record is one lookup of its key, which compares ids as the registry does.
std::vector<TGameToExport> everyGame() {
    std::vector<TGameToExport> games;
    for (std::string& id : recordedGameIds()) {
        games.push_back({std::move(id), true});
    }
    const std::string prefix = kUninstallEntryPrefix;
    for (const std::string& entry : readSubkeyNames(kUninstallKey)) {
        if (entry.compare(0, prefix.size(), prefix) == 0 &&
            !hasRecord(entry.substr(prefix.size()))) {
            games.push_back({entry.substr(prefix.size()), false});
        }
    }
    return games;
}

}  // namespace

int showClientDirectory() {
    std::string directory = readClientDirectory();
    if (directory.empty()) {
        return fail("the client directory is not set");
    }
    return print(directory + "\n");
}

int setClientDirectory(const std::string& directory) {
    LSTATUS status = writeClientDirectory(directory);
    if (status != ERROR_SUCCESS) {
        return fail("cannot store the client directory (Windows error " + std::to_string(status) +
                    ")");
    }
    return kSuccess;
}

int registerGame(const TRegistration& r) {
    if (readClientDirectory().empty()) {
        fprintf(stderr,
                "orvane: warning: the client directory is not set, so the uninstall command "
                "line will not find the client\n");
    }
    if (!openApplication(r.id)->registerApplication(libraryText(r.path), libraryText(r.installPath),
                                                    libraryText(r.name), libraryText(r.version),
                                                    libraryText(r.icon))) {
        return fail("registration of \"" + r.id + "\" did not complete");
    }
    return kSuccess;
}

int listGames(bool json) {
    const std::vector<std::string> ids = recordedGameIds();
    std::vector<TGameRecord> games;
    games.reserve(ids.size());
    for (const std::string& id : ids) {
        games.push_back(readGame(id));
    }
    std::string text = json ? gamesJson(games) : gamesTable(games);
    if (json) {
        text += '\n';
    }
    return print(text);
}

int showGame(const std::string& id, bool json) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    TGameRecord game = readGame(id);
    return print(json ? gameJson(game) + "\n" : gameDetails(game));
}

int setGameProperties(const TGameSettings& s) {
    if (!s.totalSize && !s.installSize && !s.compatibilityFlags && !s.vfsVersion && !s.upid) {
        fprintf(stderr, "orvane: nothing to set (see set --help)\n");
        return kBadInput;
    }
    if (!isKnownGame(s.id)) {
        return unknownGame(s.id);
    }
    TApplicationPtr application = openApplication(s.id);
    if (s.totalSize) {
        application->setTotalSize(*s.totalSize);
    }
    if (s.installSize) {
        application->setInstallSize(*s.installSize);
    }
    if (s.compatibilityFlags) {
        application->setCompatibilityFlags(libraryText(*s.compatibilityFlags));
    }
    if (s.vfsVersion) {
        application->setVFSVersion(*s.vfsVersion);
    }
    if (s.upid) {
        application->setUPID(*s.upid);
    }
    TGameRecord game = readGame(s.id);
    if (!stored(s.totalSize, game.totalSize) || !stored(s.installSize, game.installSize) ||
        !stored(s.compatibilityFlags, game.compatibilityFlags) ||
        !stored(s.vfsVersion, game.vfsVersion) || !stored(s.upid, game.upid)) {
        return fail("not every property of \"" + s.id + "\" was stored");
    }
    return kSuccess;
}

int addPackage(const std::string& id, const std::string& packageId, const std::string& path,
               const std::string& version) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    TPackagePtr package(openApplication(id)->createPackage(libraryText(packageId)));
    if (!package->registerPackage(libraryText(path), libraryText(version))) {
        return fail("registration of package \"" + packageId + "\" did not complete");
    }
    return kSuccess;
}

int listPackages(const std::string& id) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    return print(packagesTable(readGame(id).packages));
}

int removePackage(const std::string& id, const std::string& packageId) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    TPackagePtr package(openApplication(id)->createPackage(libraryText(packageId)));
    if (!package->unregisterPackage()) {
        return fail("package \"" + packageId + "\" was not removed");
    }
    return kSuccess;
}

int uninstallGame(const std::string& id) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    bool removed = false;
    {
        TProgressDisplay display(stdout, isTerminal(stdout));
        removed = openApplication(id)->uninstall(display.callback());
    }
    if (!removed) {
        return fail("uninstall of \"" + id + "\" did not complete: " + lastLogText());
    }
    return print("uninstalled " + id + "\n");
}

int planUninstall(const std::string& id) {
    if (!isKnownGame(id)) {
        return unknownGame(id);
    }
    const std::string clientDirectory = readClientDirectory();
    if (clientDirectory.empty()) {
        return fail(
            "the client directory is not set: uninstall would stop before deleting anything");
    }
    TApplicationPtr game = openApplication(id);
    OrvaneLib::TRemovalPlan plan = OrvaneLib::planRemoval(
        libraryText(clientDirectory), libraryText(id), game->getPath(), game->getInstallPath());
    if (!plan.refusedFolder.isEmpty()) {
        return fail("uninstall would refuse to delete \"" +
                    std::string(plan.refusedFolder.c_str()) + "\": " + plan.reason.c_str());
    }
    std::string text;
    for (const OrvaneLib::TString* folder : {&plan.userDataPath, &plan.gameFolder}) {
        if (!folder->isEmpty()) {
            text += std::string("would delete ") + folder->c_str() +
                    (OrvaneLib::pathExists(*folder) ? "\n" : " (not there)\n");
        }
    }
    return print(text + "then the record and the uninstall entry of " + id + "\n");
}

int clientBandwidth(std::optional<uint64_t> current, std::optional<uint64_t> max) {
    OrvaneLib::ulIClient& settings = client();
    if (!current && !max) {
        return print("current: " + std::to_string(settings.getCurrentBandwidth()) +
                     "\nmax measured: " + std::to_string(settings.getMaxMeasuredBandwidth()) +
                     "\n");
    }
    if (current) {
        settings.setCurrentBandwidth(*current);
    }
    if (max) {
        settings.setMaxMeasuredBandwidth(*max);
    }
    if (!stored(current, settings.getCurrentBandwidth()) ||
        !stored(max, settings.getMaxMeasuredBandwidth())) {
        return fail("the bandwidth was not stored");
    }
    return kSuccess;
}

int clientFlag(uint32_t flagId, std::optional<bool> on) {
    OrvaneLib::ulIClient& settings = client();
    if (!on) {
        return print(settings.getThirdPartyFlag(flagId) ? "on\n" : "off\n");
    }
    settings.setThirdPartyFlag(flagId, *on);
    if (settings.getThirdPartyFlag(flagId) != *on) {
        return fail("the flag was not stored");
    }
    return kSuccess;
}

int exportRecords(const std::string& id, const std::string& file) {
    if (!id.empty() && !isKnownGame(id)) {
        return unknownGame(id);
    }
    TRegFile registration;
    if (id.empty()) {
        exportClient(registration);
    }
    for (const TGameToExport& game :
         id.empty() ? everyGame() : std::vector<TGameToExport>{{id, hasRecord(id)}}) {
        exportGame(registration, game);
    }
    if (file.empty()) {
#ifdef _WIN32
        // The lines already end in CRLF.
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        return print(registration.utf8());
    }
    std::ofstream out(file, std::ios::binary);
    out << registration.utf16();
    out.close();
    if (!out) {
        return fail("cannot write " + file);
    }
    return kSuccess;
}

}  // namespace OrvaneHost
