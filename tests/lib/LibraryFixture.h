// Tests of the library through its exports, as the client calls them: this executable exports
// outputLogString and starts every test from a clean record. None expects a raised report: one
// that is raised fails its test as an exception.
#pragma once

#include "lib/OrvaneLib.h"
#include "platform/Win32Api.h"

#include "support/LogHook.h"

#ifndef _WIN32
#include "pal/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace OrvaneTest {

// A game's record and its uninstall entry.
inline std::string recordKey(const std::string& id) {
    return "Software\\Orvane\\Client\\Applications\\" + id;
}
inline std::string entryKey(const std::string& id) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App " + id;
}

// A registry value as stored: "" when missing, "sz:" and the text for REG_SZ, "dword:" and the
// number for a four-byte REG_DWORD, "type " and the type for others.
std::string readRaw(const std::string& keyPath, const std::string& valueName);
bool keyExists(const std::string& keyPath);
// Writes a value as another program would.
void writeRaw(const std::string& keyPath, const std::string& valueName, const std::string& text);
void writeRaw(const std::string& keyPath, const std::string& valueName, DWORD number);
void deleteKeyTree(const std::string& keyPath);

class LibraryTest : public testing::Test {
protected:
    void SetUp() override;

    // The client's installation directory as its installer records it.
    void setClientDirectory(const std::string& directory) {
        writeRaw("Software\\Orvane\\Client\\", "", directory);
    }
    std::unique_ptr<OrvaneLib::ulIApplication> application(const char* id) {
        return std::unique_ptr<OrvaneLib::ulIApplication>(createApplication(id));
    }
    std::vector<std::string> installedGames();
    // How many log lines at this level were received since the test began.
    static size_t linesAt(int level) {
        const auto lines = loggedLines();
        return std::count_if(lines.begin(), lines.end(),
                             [level](const LogLine& line) { return line.level == level; });
    }
};

}  // namespace OrvaneTest
