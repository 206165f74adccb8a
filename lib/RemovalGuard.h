// Folders that uninstall must never delete, whatever a record says: a relative path, a root, the
// client's directory or a folder above it, the folder that holds every game's user data, or a
// folder that holds another recorded game. Launchers without such a check have wiped whole game
// libraries and home folders.
#pragma once

#include "Common/General/TArray.h"
#include "Common/General/TString.h"

namespace OrvaneLib {

// The normalised form used for comparisons: "/" separators, no "." or "..", no trailing
// separator except at the root.
TString canonicalFolder(const TString& path);

// True when inner is outer or lies below it (both canonical; letters compared without case, as
// Windows compares paths).
bool isSameOrInside(const TString& inner, const TString& outer);

// Judges the recorded folders of one application before its removal.
class TRemovalGuard {
public:
    TRemovalGuard(const TString& clientDirectory, const TString& applicationId);

    // Empty when folder may be deleted; otherwise why not.
    TString whyProtected(const TString& folder);

private:
    // The canonical "Path" and "InstallPath" of every other recorded game, read on first need.
    const TArray<TString>& otherGameFolders();

    const TString applicationId;
    const TString clientFolder;
    const TString userDataFolder;
    TArray<TString> otherFolders;
    bool otherFoldersRead = false;
};

}  // namespace OrvaneLib
