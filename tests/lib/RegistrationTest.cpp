#include "lib/LibraryFixture.h"

#include <tuple>

namespace OrvaneTest {
namespace {

class Registration : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        setClientDirectory("C:\\Client");
    }
    bool registerGame(const char* icon = "C:\\Games\\42\\game.ico") {
        return application("42")->registerApplication("C:\\Games\\42\\game.exe", "C:\\Games\\42",
                                                      "Forty-two", "1.0.3", icon);
    }
};

// A second registration overwrites every value of the first and keeps the others.
TEST_F(Registration, WritesTheTenValuesWithTheirTypes) {
    ASSERT_TRUE(application("42")->registerApplication("C:\\G", "C:\\G", "Old", "0.1", "old.ico"));
    application("42")->setTotalSize(9);
    ASSERT_TRUE(registerGame());
    const std::tuple<std::string, const char*, const char*> expected[] = {
        {recordKey("42"), "Path", "sz:C:\\Games\\42\\game.exe"},
        {recordKey("42"), "InstallPath", "sz:C:\\Games\\42"},
        {recordKey("42"), "Version", "sz:1.0.3"},
        {entryKey("42"), "DisplayName", "sz:Forty-two"},
        {entryKey("42"), "DisplayVersion", "sz:1.0.3"},
        {entryKey("42"), "DisplayIcon", "sz:C:\\Games\\42\\game.ico"},
        {entryKey("42"), "NoModify", "dword:1"},
        {entryKey("42"), "NoRepair", "dword:1"},
        {entryKey("42"), "UninstallString", "sz:\"C:\\Client\\Orvane.exe\" /uninstall 42"},
        {entryKey("42"), "QuietUninstallString", "sz:\"C:\\Client\\Orvane.exe\" /uninstall 42 /S"},
    };
    for (const auto& [key, name, stored] : expected) {
        EXPECT_EQ(readRaw(key, name), stored) << name;
    }
    EXPECT_EQ(application("42")->getTotalSize(), 9u);
}

TEST_F(Registration, StopsAtTheFirstEmptyArgumentAndNeedsNoClientDirectory) {
    EXPECT_FALSE(registerGame(""));
    EXPECT_NE(readRaw(entryKey("42"), "DisplayVersion"), "");
    for (const char* name : {"DisplayIcon", "NoModify", "UninstallString"}) {
        EXPECT_EQ(readRaw(entryKey("42"), name), "") << name;
    }
    EXPECT_FALSE(application("7")->registerApplication("", "C:\\x", "x", "1", "i"));
    EXPECT_FALSE(keyExists(recordKey("7")));
    EXPECT_EQ(linesAt(2), 0u);

    // Without a client directory the command lines start with the quote.
    deleteKeyTree("Software\\Orvane\\Client");
    ASSERT_TRUE(registerGame());
    EXPECT_EQ(readRaw(entryKey("42"), "UninstallString"), "sz:\"\\Orvane.exe\" /uninstall 42");
}

#ifndef _WIN32
TEST_F(Registration, AFailedWriteIsReportedAndEndsTheRegistration) {
    palInjectFault("RegSetValueExW", ERROR_ACCESS_DENIED, 3, 1);
    EXPECT_FALSE(registerGame());
    EXPECT_NE(readRaw(recordKey("42"), "Version"), "");
    EXPECT_EQ(readRaw(entryKey("42"), "DisplayName"), "");
    EXPECT_EQ(readRaw(entryKey("42"), "DisplayVersion"), "");
    EXPECT_EQ(linesAt(2), 1u);
}
#endif

}  // namespace
}  // namespace OrvaneTest
