// Tests of the library through its exports, as the client calls them: this executable exports
// outputLogString, handles the structured exception of code 1 with a vectored handler that
// resumes, and starts every test from a clean record.
#pragma once

#include "lib/OrvaneLib.h"
#include "platform/Win32Api.h"

#include "support/LogHook.h"

#ifndef _WIN32
#include "pal/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace OrvaneTest {

// A registry value as stored.
struct RawValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> data;

    std::string text() const;  // REG_SZ data as UTF-8, without the terminator
    DWORD number() const;      // REG_DWORD data
};

RawValue readRawValue(const std::string& keyPath, const std::string& valueName);
bool keyExists(const std::string& keyPath);
// Writes a value as another program would.
void writeRawText(const std::string& keyPath, const std::string& valueName,
                  const std::string& text);
void writeRawNumber(const std::string& keyPath, const std::string& valueName, DWORD number);
void deleteKeyTree(const std::string& keyPath);

struct RaisedReport {
    int32_t category;
    int32_t severity;
    std::string message;
};

class LibraryTest : public testing::Test {
public:
    // Reports that raised, in order.
    static std::vector<RaisedReport> raised;

protected:
    void SetUp() override;
    void TearDown() override;

    // The client's installation directory as its installer records it.
    void setClientDirectory(const std::string& directory);
    std::unique_ptr<OrvaneLib::ulIApplication> application(const char* id);
    std::vector<std::string> installedGames();
    // Log lines at this level received since the test began.
    std::vector<LogLine> linesAt(int level) const;
};

}  // namespace OrvaneTest
