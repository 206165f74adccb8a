// Points HKEY_CURRENT_USER of the test process at a fresh temporary key for the life of one test,
// so that no test reads or writes the records of the user who runs it, and suites can run side by
// side in one registry. The key is HKCU\Software\OrvaneTest\<seconds since 1970>-<process>-<count>;
// a key of that form older than a day is what a crashed run left, and goes when the next override
// starts. Keys of other forms there are never touched.
#pragma once

#include "win32/Win32Api.h"

#include <chrono>
#include <string>

namespace OrvaneTest {

class TRegistryOverride {
public:
    typedef std::basic_string<WCHAR> TWide;
    typedef std::chrono::system_clock TClock;

    TRegistryOverride() = default;
    ~TRegistryOverride() { stop(); }
    TRegistryOverride(const TRegistryOverride&) = delete;
    TRegistryOverride& operator=(const TRegistryOverride&) = delete;

    // Removes stale keys, creates the temporary key and points HKEY_CURRENT_USER at it.
    // ERROR_SUCCESS, or the code of the call that failed, with HKEY_CURRENT_USER left as it was.
    [[nodiscard]] LSTATUS start();
    // Gives HKEY_CURRENT_USER back and deletes the temporary key; nothing when not started.
    LSTATUS stop();
    // The temporary key below the real HKEY_CURRENT_USER; empty when not started.
    const TWide& path() const { return path_; }

    // Deletes the temporary keys made before `now - maxAge`.
    static void removeStale(TClock::time_point now, std::chrono::hours maxAge);
    // The temporary key that an override started at `time` by this process gets.
    static TWide keyPath(TClock::time_point time);

    static constexpr const WCHAR* kParent = W("Software\\OrvaneTest");

private:
    TWide path_;
};

}  // namespace OrvaneTest
