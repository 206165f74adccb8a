#include "lib/RemovalGuard.h"

#include "Common/General/ScrambledText.h"
#include "lib/RegistryLayout.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace OrvaneLib {

namespace {

// A root, or the bare \\server\share of a network path: deleting it empties a whole volume.
bool isVolumeRoot(const TString& canonical) {
    TString root = getPathRoot(canonical);
    if (canonical.getLength() <= root.getLength()) {
        return true;
    }
    const char* text = canonical.c_str();
    bool networkShare = text[0] == '\\' && text[1] == '\\' && text[2] != '.' && text[2] != '?';
    uint32_t position = root.getLength();
    return networkShare && !canonical.findChar('/', position, true);
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
    : applicationId(applicationId),
      clientFolder(canonicalFolder(clientDirectory)),
      userDataFolder(canonicalFolder(clientDirectory + TString("/content/userdata"))) {}

TString TRemovalGuard::whyProtected(const TString& folder) {
    if (!isAbsolutePath(folder)) {
        return ORVANE_TEXT("it is not an absolute path");
    }
    TString canonical = canonicalFolder(folder);
    if (isVolumeRoot(canonical)) {
        return ORVANE_TEXT("it is the root of a volume");
    }
    if (isSameOrInside(clientFolder, canonical)) {
        return ORVANE_TEXT("it holds the client");
    }
    if (isSameOrInside(userDataFolder, canonical)) {
        return ORVANE_TEXT("it holds the user data of every game");
    }
    const TArray<TString>& others = otherGameFolders();
    for (uint32_t i = 0; i < others.getCount(); ++i) {
        if (isSameOrInside(others.get(i), canonical)) {
            return ORVANE_TEXT("it holds another installed game");
        }
    }
    return TString();
}

const TArray<TString>& TRemovalGuard::otherGameFolders() {
    if (otherFoldersRead) {
        return otherFolders;
    }
    otherFoldersRead = true;
    TArray<TString> games = getRegistrySubkeys(kApplicationsKey);
    for (uint32_t i = 0; i < games.getCount(); ++i) {
        TString other = games.get(i);
        if (other.compare(applicationId, false) == 0) {
            continue;
        }
        TString key = applicationKey(other);
        for (const char* valueName : {kPathValue, kInstallPathValue}) {
            TString folder = readRegistryValue(key, valueName, REG_SZ);
            if (isAbsolutePath(folder)) {
                otherFolders.add(canonicalFolder(folder));
            }
        }
    }
    return otherFolders;
}

}  // namespace OrvaneLib
