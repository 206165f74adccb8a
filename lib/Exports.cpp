#include "Common/General/ScrambledText.h"
#include "Common/General/TLogSystem.h"
#include "lib/OrvaneLib.h"
#include "lib/RegistryLayout.h"
#include "lib/TApplication.h"
#include "lib/TClient.h"
#include "platform/Registry.h"
#include "win32/Win32Api.h"

#include <mutex>

namespace OrvaneLib {

namespace {

// Built at load and kept until unload; nothing reads them.
struct TLoadTimeTexts {
    TString product = ORVANE_TEXT("Orvane Client");
    TString record = ORVANE_TEXT("Orvane Game Record");
    TString listing = ORVANE_TEXT("Orvane Installed Games List");
} loadTimeTexts;

// The client relies on 1 ms timer resolution for the whole life of the process; it is never
// lowered again.
struct TTimerResolution {
    TTimerResolution() {
        static bool raised = false;
        if (!raised) {
            raised = true;
            timeBeginPeriod(1);
        }
    }
} timerResolution;

std::once_flag initialized;

// Links the sink that forwards log lines to the host's outputLogString, once per process. When it
// throws (memory exhausted) the flag stays unset and the next export tries again.
void ensureInitialized() {
    std::call_once(initialized, [] {
        std::shared_ptr<TLogSystem> log = logSystem;
        if (log) {
            log->addStrategy(new TCurrentProcessLogStrategy("Orvane.dll"));
        }
    });
}

}  // namespace

}  // namespace OrvaneLib

using namespace OrvaneLib;

extern "C" {

ORVANE_API ulIApplication* createApplication(const TString& applicationId) {
    ensureInitialized();
    return new TApplication(applicationId);
}

// The client object has no state and is never released by the host, so every call hands out the
// same one instead of leaking a new object each time.
ORVANE_API ulIClient* createClient() {
    ensureInitialized();
    static TClient client;
    return &client;
}

ORVANE_API void getInstalledGames(TArray<TString>& games) {
    ensureInitialized();
    TArray<TString> recorded = getRegistrySubkeys(kApplicationsKey);
    games = std::move(recorded);
}

}  // extern "C"

#ifdef _WIN32
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif
