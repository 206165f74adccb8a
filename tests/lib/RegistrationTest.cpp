#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kRecord[] = "Software\\Orvane\\Client\\Applications\\42";
const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App 42";

class Registration : public LibraryTest {
protected:
    bool registerGame(const char* icon = "C:\\Games\\42\\game.ico") {
        return application("42")->registerApplication("C:\\Games\\42\\game.exe", "C:\\Games\\42",
                                                      "Forty-two", "1.0.3", icon);
    }
};

struct Expected {
    const char* key;
    const char* name;
    DWORD type;
    const char* text;  // for REG_SZ
    DWORD number;      // for REG_DWORD
};

TEST_F(Registration, WritesTheTenValuesWithTheirTypes) {
    setClientDirectory("C:\\Client");
    ASSERT_TRUE(registerGame());
    const Expected expected[] = {
        {kRecord, "Path", REG_SZ, "C:\\Games\\42\\game.exe", 0},
        {kRecord, "InstallPath", REG_SZ, "C:\\Games\\42", 0},
        {kRecord, "Version", REG_SZ, "1.0.3", 0},
        {kEntry, "DisplayName", REG_SZ, "Forty-two", 0},
        {kEntry, "DisplayVersion", REG_SZ, "1.0.3", 0},
        {kEntry, "DisplayIcon", REG_SZ, "C:\\Games\\42\\game.ico", 0},
        {kEntry, "NoModify", REG_DWORD, nullptr, 1},
        {kEntry, "NoRepair", REG_DWORD, nullptr, 1},
        {kEntry, "UninstallString", REG_SZ, "\"C:\\Client\\Orvane.exe\" /uninstall 42", 0},
        {kEntry, "QuietUninstallString", REG_SZ, "\"C:\\Client\\Orvane.exe\" /uninstall 42 /S", 0},
    };
    for (const Expected& value : expected) {
        RawValue stored = readRawValue(value.key, value.name);
        ASSERT_TRUE(stored.exists) << value.name;
        EXPECT_EQ(stored.type, value.type) << value.name;
        if (value.type == REG_SZ) {
            EXPECT_EQ(stored.text(), value.text);
        } else {
            EXPECT_EQ(stored.data.size(), 4u);
            EXPECT_EQ(stored.number(), value.number);
        }
    }
    auto game = application("42");
    EXPECT_TRUE(game->isInstalled());
    EXPECT_EQ(installedGames(), std::vector<std::string>{"42"});
}

TEST_F(Registration, StopsAtTheFirstEmptyArgument) {
    setClientDirectory("C:\\Client");
    EXPECT_FALSE(registerGame(""));
    EXPECT_TRUE(readRawValue(kEntry, "DisplayVersion").exists);
    EXPECT_FALSE(readRawValue(kEntry, "DisplayIcon").exists);
    EXPECT_FALSE(readRawValue(kEntry, "NoModify").exists);
    EXPECT_FALSE(readRawValue(kEntry, "UninstallString").exists);

    EXPECT_FALSE(application("7")->registerApplication("", "C:\\x", "x", "1", "i"));
    EXPECT_FALSE(keyExists("Software\\Orvane\\Client\\Applications\\7"));
    EXPECT_TRUE(linesAt(2).empty());
}

TEST_F(Registration, WithoutClientDirectoryTheCommandLinesStartWithTheQuote) {
    ASSERT_TRUE(registerGame());
    EXPECT_EQ(readRawValue(kEntry, "UninstallString").text(), "\"\\Orvane.exe\" /uninstall 42");
}

TEST_F(Registration, SecondRegistrationOverwritesBothVersions) {
    setClientDirectory("C:\\Client");
    ASSERT_TRUE(registerGame());
    application("42")->setTotalSize(9);
    ASSERT_TRUE(
        application("42")->registerApplication("C:\\G\\42", "C:\\G", "Forty-two", "2.0", "i"));
    EXPECT_EQ(readRawValue(kRecord, "Version").text(), "2.0");
    EXPECT_EQ(readRawValue(kEntry, "DisplayVersion").text(), "2.0");
    EXPECT_EQ(readRawValue(kRecord, "InstallPath").text(), "C:\\G");
    EXPECT_EQ(application("42")->getTotalSize(), 9u);
}

#ifndef _WIN32
TEST_F(Registration, AFailedWriteIsReportedAndEndsTheRegistration) {
    setClientDirectory("C:\\Client");
    palInjectFault("RegSetValueExW", ERROR_ACCESS_DENIED, 3, 1);
    EXPECT_FALSE(registerGame());
    EXPECT_TRUE(readRawValue(kRecord, "Version").exists);
    EXPECT_FALSE(readRawValue(kEntry, "DisplayName").exists);
    EXPECT_FALSE(readRawValue(kEntry, "DisplayVersion").exists);
    EXPECT_EQ(linesAt(2).size(), 1u);
}
#endif

}  // namespace
}  // namespace OrvaneTest
