// Folders that uninstall must never delete, whatever a record says: a relative path, the root of a
// volume, the client's directory, what lies inside it or holds it, the folder that holds every
// game's user data, another recorded game's folders (its "Path", "InstallPath", user data and
// package folders), the user's profile and the system's folders. Launchers without such a check
// have wiped whole game libraries and home folders.
//
// The judgement is made twice: on the text of the paths, and on what the paths are, by the
// identity of the folders they reach, so that no spelling (case, trailing dots, 8.3 aliases,
// device prefixes, links on the way, two drive letters for one place) gets past it. A folder whose
// identity can not be read is refused too: the removal stops before anything is deleted.
#pragma once

#include "Common/General/TString.h"
#include "platform/FileIdentity.h"

#include <vector>

namespace OrvaneLib {

// The normalised form used for comparisons: "/" separators, no "." or "..", no trailing
// separator except at the root.
TString canonicalFolder(const TString& path);

// True when inner is outer or lies below it (both canonical; letters compared without case, as
// Windows compares paths).
bool isSameOrInside(const TString& inner, const TString& outer);

// Judges the folders that the removal of one application would delete.
class TRemovalGuard {
public:
    TRemovalGuard(const TString& clientDirectory, const TString& applicationId);

    // Empty when folder may be deleted; otherwise why not. Only the game's own user-data folder
    // may lie inside the client's directory.
    TString whyProtected(const TString& folder, bool ownUserData = false);

private:
    // Which folder of another game one is: its description is put into words only when needed.
    enum class TOtherFolder { none, folder, userData, package };
    struct TProtectedFolder {
        TString canonical;
        TString description;  // "the client's directory", when not another game's
        TOtherFolder other = TOtherFolder::none;
        uint32_t game = 0;           // another game's: its place in otherGames
        bool guardsInside = false;   // nothing inside it may be deleted either
        bool holdsUserData = false;  // the client's directory, or the folder of all user data
        bool identityRead = false;
        TFolderIdentity found;
    };

    TString textReason(const TString& canonical, bool ownUserData);
    TString identityReason(const TString& canonical, bool ownUserData);
    static bool mayNotHold(const TProtectedFolder& other, bool ownUserData);
    const TFolderIdentity& identityOf(TProtectedFolder& folder);
    void add(const TString& path, TString description, bool guardsInside,
             bool holdsUserData = false);
    void addOther(const TString& path, TOtherFolder kind, uint32_t game);
    void add(const TString& path, TProtectedFolder folder);
    // "another game's folder (\"B\")" and the like.
    TString describe(const TProtectedFolder& folder) const;
    // Every other recorded game's folders, read once, on first need.
    std::vector<TProtectedFolder>& folders();
    void addOtherGames();
    void addSystemFolders();

    const TString applicationId;
    const TString clientDirectory;
    std::vector<TProtectedFolder> protected_;
    std::vector<TString> otherGames;
    bool othersRead = false;
    TString missingParent;  // of the last folder found missing with its parent
};

// What the removal of one application deletes, in order, or why it must not happen.
struct TRemovalPlan {
    TString userDataPath;   // the client's directory + "/content/userdata/" + id, normalised
    TString gameFolder;     // "InstallPath", or "Path" when that is empty; may be empty
    TString refusedFolder;  // empty when the removal may go ahead
    TString reason;
};
TRemovalPlan planRemoval(const TString& clientDirectory, const TString& applicationId,
                         const TString& path, const TString& installPath);

}  // namespace OrvaneLib
