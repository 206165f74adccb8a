#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"
#include "Common/General/TLogSystem.h"
#include "lib/RecordIds.h"
#include "lib/RegistryLayout.h"
#include "lib/RemovalGuard.h"
#include "lib/TApplication.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/ShellDelete.h"

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("lib\\Uninstall.cpp");

template <size_t N>
bool stop(const TScrambledText<N>& text, int32_t line) {
    logInfo(kSourceFile.text().c_str(), line, text.text().c_str());
    return false;
}

constexpr auto kNoClientDirectory =
    scramble("Uninstall stopped: the client directory is not known");
constexpr auto kShellFailed = scramble("Uninstall stopped: the game's files could not be deleted");
constexpr auto kPathRemains = scramble("Uninstall stopped: the game's path still exists");
constexpr auto kInstallPathRemains =
    scramble("Uninstall stopped: the game's install path still exists");
constexpr auto kUserDataRemains = scramble("Uninstall stopped: the game's user data still exists");
constexpr auto kRecordRemains = scramble("Uninstall stopped: the game's record was not deleted");
constexpr auto kEntryRemains =
    scramble("Uninstall stopped: the game's uninstall entry was not deleted");
constexpr auto kFolderProtected =
    scramble("Uninstall refused: a recorded folder must not be deleted");

// Refuses, before anything is deleted, a recorded folder that would take more than the game with
// it.
bool accept(const TRemovalPlan& plan, const TString& applicationId) {
    if (plan.refusedFolder.isEmpty()) {
        return true;
    }
    stop(kFolderProtected, __LINE__);
    TString message = ORVANE_TEXT("Refused to delete \"") + plan.refusedFolder +
                      ORVANE_TEXT("\" for \"") + applicationId + ORVANE_TEXT("\": ") + plan.reason;
    reportError(message.c_str(), ORVANE_TEXT("U").c_str(), 1, 1, kSourceFile.text().c_str(),
                __LINE__);
    return false;
}

}  // namespace

bool TApplication::removeGame(const ProgressCallback& progress) {
    if (!acceptRecordIds(applicationId)) {
        return false;
    }
    TString clientDirectory = readRegistryValue(kClientKey, kClientDirectoryValue, REG_SZ);
    if (clientDirectory.isEmpty()) {
        return stop(kNoClientDirectory, __LINE__);
    }
    TString path = getPath();
    TString installPath = getInstallPath();
    TRemovalPlan plan = planRemoval(clientDirectory, applicationId, path, installPath);
    if (!accept(plan, applicationId)) {
        return false;
    }
    const TString& userDataPath = plan.userDataPath;

    TArray<TString> deletions;
    deletions.add(userDataPath);
    deletions.add(plan.gameFolder);
    if (!shellDeletePaths(std::move(deletions), progress)) {
        return stop(kShellFailed, __LINE__);
    }

    if (pathExists(path)) {
        return stop(kPathRemains, __LINE__);
    }
    if (!installPath.isEmpty() && pathExists(installPath)) {
        return stop(kInstallPathRemains, __LINE__);
    }
    if (pathExists(userDataPath)) {
        return stop(kUserDataRemains, __LINE__);
    }
    if (!deleteRegistryKey(applicationKey(applicationId).c_str())) {
        return stop(kRecordRemains, __LINE__);
    }
    if (!deleteRegistryKey(uninstallKey(applicationId).c_str())) {
        return stop(kEntryRemains, __LINE__);
    }
    return true;
}

}  // namespace OrvaneLib
