// Tests of the library through its exports, as the client calls them: this executable exports
// outputLogString, handles the structured exception of code 1 with a vectored handler (no test
// expects one: a raised report fails the test), and starts every test from a clean record: its
// HKEY_CURRENT_USER is a temporary key of its own.
#pragma once

#include "Common/General/TWideText.h"
#include "lib/OrvaneLib.h"
#include "lib/RegistryKeys.h"
#include "win32/RegistryKey.h"

#include "support/LogHook.h"
#include "support/RegistryOverride.h"

#ifndef _WIN32
#include "pal/inc/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace OrvaneTest {

// A game's record and its uninstall entry.
inline std::string recordKey(const std::string& id) {
    return OrvaneLib::kApplicationsKey + id;
}
inline std::string entryKey(const std::string& id) {
    return OrvaneLib::kUninstallKey + (OrvaneLib::kUninstallEntryPrefix + id);
}

// A registry value as stored: "" when missing, "sz:" and the text for REG_SZ, "dword:" and the
// number for a four-byte REG_DWORD, "type " and the type for others.
std::string readRaw(const std::string& keyPath, const std::string& valueName);
inline bool keyExists(const std::string& keyPath) {
    OrvaneLib::TRegistryKey key;
    return key.open(HKEY_CURRENT_USER, OrvaneLib::TWideText(keyPath.c_str()).get(), KEY_READ) ==
           ERROR_SUCCESS;
}
// Writes a value as another program would: the text as REG_SZ, or the decimal number it holds as
// REG_DWORD.
void writeRaw(const std::string& keyPath, const std::string& valueName, const std::string& text,
              DWORD type = REG_SZ);
inline void deleteKeyTree(const std::string& keyPath) {
    RegDeleteTreeW(HKEY_CURRENT_USER, OrvaneLib::TWideText(keyPath.c_str()).get());
}

class LibraryTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The client's installation directory as its installer records it.
    void setClientDirectory(const std::string& directory) {
        writeRaw(OrvaneLib::kClientKey, "", directory);
    }
    std::unique_ptr<OrvaneLib::ulIApplication> application(const char* id) {
        return std::unique_ptr<OrvaneLib::ulIApplication>(createApplication(id));
    }
    // The recorded games, which replace whatever the array held.
    std::vector<std::string> installedGames() {
        OrvaneLib::TArray<OrvaneLib::TString> games;
        games.add(OrvaneLib::TString("stale"));
        getInstalledGames(games);
        std::vector<std::string> ids;
        for (uint32_t i = 0; i < games.getCount(); ++i) {
            ids.push_back(games.get(i).c_str());
        }
        return ids;
    }
    // How many log lines at this level were received since the test began.
    static size_t linesAt(int level) {
        const auto lines = loggedLines();
        return std::count_if(lines.begin(), lines.end(),
                             [level](const LogLine& line) { return line.level == level; });
    }

private:
    TRegistryOverride registry_;
    void* handler_ = nullptr;
};

}  // namespace OrvaneTest
