#include "lib/RemovalGuard.h"

#include "Common/General/PathText.h"
#include "Common/General/ScrambledText.h"
#include "Common/General/TArray.h"
#include "lib/RegistryLayout.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace OrvaneLib {

namespace {

// A root, or the bare \\server\share of a network path: deleting it empties a whole volume.
bool isVolumeRoot(const TString& canonical) {
    TString root = getPathRoot(canonical);
    if (canonical.getLength() <= root.getLength()) {
        return true;
    }
    const char* text = canonical.c_str();
    bool networkShare = (text[0] == '\\' || text[0] == '/') &&
                        (text[1] == '\\' || text[1] == '/') && text[2] != '.' && text[2] != '?';
    uint32_t position = root.getLength();
    return networkShare && !canonical.findChar('/', position, true);
}

TString quoted(const TString& text) {
    return TString(" (\"") + text + TString("\")");
}

TString systemError(uint32_t error) {
    return TString(" (system error ") + TString(std::to_string(error).c_str()) + TString(")");
}

// Folders of the user and the system, by the variables that name them. Whole ones may hold a
// game; the others may not even do that.
struct TSystemFolder {
    const char* variable;
    bool guardsInside;
};
constexpr TSystemFolder kSystemFolders[] = {
    {"SystemRoot", true},
    {"windir", true},
    {"USERPROFILE", false},
    {"PUBLIC", false},
    {"ALLUSERSPROFILE", false},
    {"ProgramData", false},
    {"APPDATA", false},
    {"LOCALAPPDATA", false},
    {"TEMP", false},
    {"ProgramFiles", false},
    {"ProgramFiles(x86)", false},
    {"ProgramW6432", false},
    {"CommonProgramFiles", false},
};

// The closest relation found between a folder to delete and the protected ones: being one of them
// says most, then holding one, then lying inside one. Only a closer relation is put into words,
// by `describe`, which returns a TString.
class TRelation {
public:
    template <class Describe>
    void note(bool is, bool holds, bool inside, Describe describe) {
        const int rank = is ? 3 : holds ? 2 : inside ? 1 : 0;
        if (rank <= rank_) {
            return;
        }
        rank_ = rank;
        const TString verb = rank == 3   ? ORVANE_TEXT("it is ")
                             : rank == 2 ? ORVANE_TEXT("it holds ")
                                         : ORVANE_TEXT("it lies inside ");
        reason_ = verb + describe();
    }
    const TString& reason() const { return reason_; }

private:
    int rank_ = 0;
    TString reason_;
};

// Whether `path` is `folder` or lies inside it, both canonical and spelled alike: what lies in a
// missing folder is missing too, whatever the case rules of its volume.
bool liesIn(const TString& path, const TString& folder) {
    const uint32_t length = folder.getLength();
    const char* text = path.c_str();
    return length != 0 && path.getLength() >= length && memcmp(text, folder.c_str(), length) == 0 &&
           (path.getLength() == length || text[length] == '/');
}

}  // namespace

TString canonicalFolder(const TString& path) {
    TString canonical(path);
    normalizePath(canonical);
    uint32_t rootLength = getPathRoot(canonical).getLength();
    uint32_t length = canonical.getLength();
    if (length > rootLength && canonical.c_str()[length - 1] == '/') {
        canonical.erase(length - 1, 1);
    }
    return canonical;
}

bool isSameOrInside(const TString& inner, const TString& outer) {
    if (outer.isEmpty() || inner.getLength() < outer.getLength() ||
        startsWithNoCase(inner.c_str(), outer.c_str()) != 0) {
        return false;
    }
    // Folding touches only A-Z, so the matched prefix has the same byte length in both.
    uint32_t length = outer.getLength();
    return inner.getLength() == length || outer.c_str()[length - 1] == '/' ||
           inner.c_str()[length] == '/';
}

TRemovalGuard::TRemovalGuard(const TString& clientDirectory, const TString& applicationId)
    : applicationId(applicationId), clientDirectory(clientDirectory) {
    add(clientDirectory, ORVANE_TEXT("the client's directory"), true, true);
    add(clientDirectory + TString("/content/userdata"),
        ORVANE_TEXT("the folder of every game's user data"), false, true);
    addSystemFolders();
}

TString TRemovalGuard::whyProtected(const TString& folder, bool ownUserData) {
    if (!isAbsolutePath(folder)) {
        return ORVANE_TEXT("it is not an absolute path");
    }
    TString canonical = canonicalFolder(folder);
    if (isVolumeRoot(canonical)) {
        return ORVANE_TEXT("it is the root of a volume");
    }
    TString reason = textReason(canonical, ownUserData);
    return reason.isEmpty() ? identityReason(canonical, ownUserData) : reason;
}

TString TRemovalGuard::textReason(const TString& canonical, bool ownUserData) {
    TRelation relation;
    for (const TProtectedFolder& other : folders()) {
        const bool holds = isSameOrInside(other.canonical, canonical);
        const bool inside = isSameOrInside(canonical, other.canonical);
        relation.note(holds && inside, holds, inside && mayNotHold(other, ownUserData),
                      [&] { return describe(other); });
    }
    return relation.reason();
}

TString TRemovalGuard::identityReason(const TString& canonical, bool ownUserData) {
    const TFolderIdentity target = readFolderIdentity(canonical);
    if (target.lookup == TLookup::missing) {
        return TString();  // nothing there to delete, whatever the text names
    }
    if (target.lookup == TLookup::failed) {
        return ORVANE_TEXT("what it is can not be told") + systemError(target.error);
    }
    if (isVolumeRoot(target.finalPath)) {
        return ORVANE_TEXT("it is the root of a volume") + quoted(target.finalPath);
    }
    std::vector<TFileIdentity> ancestors;
    TFolderIdentity failure;
    if (!readAncestorIdentities(target.finalPath, ancestors, failure)) {
        return ORVANE_TEXT("what holds it can not be told") + systemError(failure.error);
    }
    TRelation relation;
    for (TProtectedFolder& other : folders()) {
        const TFolderIdentity& found = identityOf(other);
        if (found.lookup == TLookup::missing) {
            continue;
        }
        if (found.lookup == TLookup::failed) {
            return ORVANE_TEXT("whether it holds ") + describe(other) +
                   ORVANE_TEXT(" can not be told") + systemError(found.error);
        }
        const bool inside =
            std::find(ancestors.begin(), ancestors.end(), found.identity) != ancestors.end();
        relation.note(found.identity == target.identity,
                      isSameOrInside(found.finalPath, target.finalPath),
                      inside && mayNotHold(other, ownUserData),
                      [&]() -> TString { return describe(other) + quoted(found.finalPath); });
    }
    return relation.reason();
}

// Whether a folder inside `other` must stay: inside the client's directory only the game's own user
// data may go.
bool TRemovalGuard::mayNotHold(const TProtectedFolder& other, bool ownUserData) {
    return other.guardsInside && !(ownUserData && other.holdsUserData);
}

// Whatever lies in a folder found missing is missing too: the folders of the other games' user
// data all lie in one that seldom exists, and a game's executable lies in its folder. Such a folder
// is asked for once, not for each of those in it.
const TFolderIdentity& TRemovalGuard::identityOf(TProtectedFolder& folder) {
    if (!folder.identityRead) {
        folder.identityRead = true;
        if (liesIn(folder.canonical, missingParent)) {
            folder.found = TFolderIdentity{TLookup::missing, ERROR_PATH_NOT_FOUND, {}, TString()};
            return folder.found;
        }
        folder.found = readFolderIdentity(folder.canonical);
        if (folder.found.lookup == TLookup::missing && folder.found.error == ERROR_PATH_NOT_FOUND) {
            // A volume's root is left out: another share of a server may well exist.
            const TString parent = getDirectory(folder.canonical);
            if (getPathRoot(parent).getLength() < parent.getLength()) {
                missingParent = parent;
            }
        }
    }
    return folder.found;
}

void TRemovalGuard::add(const TString& path, TString description, bool guardsInside,
                        bool holdsUserData) {
    TProtectedFolder folder;
    folder.description = std::move(description);
    folder.guardsInside = guardsInside;
    folder.holdsUserData = holdsUserData;
    add(path, std::move(folder));
}

void TRemovalGuard::addOther(const TString& path, TOtherFolder kind, uint32_t game) {
    TProtectedFolder folder;
    folder.other = kind;
    folder.game = game;
    folder.guardsInside = true;
    add(path, std::move(folder));
}

void TRemovalGuard::add(const TString& path, TProtectedFolder folder) {
    if (!isAbsolutePath(path)) {
        return;  // names no folder of its own: a relative text means whatever the caller's is
    }
    folder.canonical = canonicalFolder(path);
    protected_.push_back(std::move(folder));
}

TString TRemovalGuard::describe(const TProtectedFolder& folder) const {
    const TString name =
        folder.other == TOtherFolder::none ? TString() : quoted(otherGames[folder.game]);
    switch (folder.other) {
        case TOtherFolder::none:
            return folder.description;
        case TOtherFolder::folder:
            return ORVANE_TEXT("another game's folder") + name;
        case TOtherFolder::userData:
            return ORVANE_TEXT("another game's user data") + name;
        case TOtherFolder::package:
            break;
    }
    return ORVANE_TEXT("a package folder of another game") + name;
}

std::vector<TRemovalGuard::TProtectedFolder>& TRemovalGuard::folders() {
    if (!othersRead) {
        othersRead = true;
        addOtherGames();
    }
    return protected_;
}

void TRemovalGuard::addOtherGames() {
    TArray<TString> games = getRegistrySubkeys(kApplicationsKey);
    otherGames.reserve(games.getCount());
    protected_.reserve(protected_.size() + 3 * games.getCount());
    for (uint32_t i = 0; i < games.getCount(); ++i) {
        const TString& other = games.get(i);
        if (other.compare(applicationId, false) == 0) {
            continue;
        }
        const uint32_t game = static_cast<uint32_t>(otherGames.size());
        otherGames.push_back(other);
        const TString key = applicationKey(other);
        addOther(readRegistryValue(key, kPathValue, REG_SZ), TOtherFolder::folder, game);
        addOther(readRegistryValue(key, kInstallPathValue, REG_SZ), TOtherFolder::folder, game);
        addOther(clientDirectory + TString("/content/userdata/") + other, TOtherFolder::userData,
                 game);
        // Most games have no packages: a missing key is no news here.
        std::vector<TString> packages;
        forEachRegistrySubkey(
            packagesKey(other).c_str(),
            [&packages](HKEY, const TString& package) { packages.push_back(package); }, KEY_READ);
        for (const TString& package : packages) {
            addOther(readRegistryValue(packageKey(other, package), kPathValue, REG_SZ),
                     TOtherFolder::package, game);
        }
    }
}

void TRemovalGuard::addSystemFolders() {
    for (const TSystemFolder& folder : kSystemFolders) {
        add(getEnvironmentVariable(folder.variable),
            ORVANE_TEXT("the folder of %") + TString(folder.variable) + TString("%"),
            folder.guardsInside);
    }
}

TRemovalPlan planRemoval(const TString& clientDirectory, const TString& applicationId,
                         const TString& path, const TString& installPath) {
    TRemovalPlan plan;
    plan.userDataPath = clientDirectory + TString("/content/userdata/") + applicationId;
    normalizePath(plan.userDataPath);
    plan.gameFolder = installPath.isEmpty() ? path : installPath;
    TRemovalGuard guard(clientDirectory, applicationId);
    const struct {
        const TString* folder;
        bool ownUserData;
    } checks[] = {{&path, false}, {&installPath, false}, {&plan.userDataPath, true}};
    for (const auto& check : checks) {
        if (check.folder->isEmpty()) {
            continue;
        }
        TString reason = guard.whyProtected(*check.folder, check.ownUserData);
        if (!reason.isEmpty()) {
            plan.refusedFolder = *check.folder;
            plan.reason = std::move(reason);
            break;
        }
    }
    return plan;
}

}  // namespace OrvaneLib
