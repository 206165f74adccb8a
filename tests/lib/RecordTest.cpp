#include "lib/LibraryFixture.h"

#include <tuple>

namespace OrvaneTest {
namespace {

using Record = LibraryTest;

TEST_F(Record, WithoutRecordEverythingReadsAsDefaultAndOneValueInstalls) {
    auto game = application("42");
    EXPECT_EQ(std::make_tuple(game->isInstalled(), game->getPath().c_str(), game->getTotalSize(),
                              game->getVFSVersion(), game->getUPID()),
              std::make_tuple(false, std::string(), uint64_t{0}, -1, -1));
    EXPECT_FALSE(keyExists(recordKey("42")));

    // Installed by its path alone or by its display name alone.
    writeRaw(recordKey("42"), "Path", "C:\\Games\\42");
    EXPECT_TRUE(application("42")->isInstalled());
    deleteKeyTree(recordKey("42"));
    writeRaw(entryKey("42"), "DisplayName", "Forty-two");
    EXPECT_TRUE(application("42")->isInstalled());
    EXPECT_STREQ(application("42")->getDisplayName().c_str(), "Forty-two");
}

// Sizes are decimal text, numbers registry numbers; both read back whole (numbers signed). Flags
// set empty keep their value.
TEST_F(Record, ValuesKeepTheirTypeAndReadBackWhole) {
    auto game = application("42");
    game->setCompatibilityFlags("RUNASADMIN");
    game->setCompatibilityFlags("");
    EXPECT_EQ(readRaw(recordKey("42"), "CompatibilityFlags"), "sz:RUNASADMIN");
    for (auto [size, number] : {std::pair{uint64_t{0}, INT32_MIN},
                                std::pair{uint64_t{123456789012}, -1}, std::pair{UINT64_MAX, 7}}) {
        game->setTotalSize(size);
        game->setInstallSize(size);
        game->setUPID(number);
        game->setVFSVersion(number);
        for (const char* name : {"TotalSize", "InstallSize"}) {
            EXPECT_EQ(readRaw(recordKey("42"), name), "sz:" + std::to_string(size));
        }
        for (const char* name : {"UPID", "VFSVersion"}) {
            EXPECT_EQ(readRaw(recordKey("42"), name), "dword:" + std::to_string(DWORD(number)));
        }
        EXPECT_EQ(std::make_tuple(game->getTotalSize(), game->getInstallSize(), game->getUPID(),
                                  game->getVFSVersion()),
                  std::make_tuple(size, size, number, number));
    }
}

// Text written by another program: sizes are parsed up to the first other character; a value of
// another type is read for the type asked for.
TEST_F(Record, ValuesFromElsewhereAreReadAsTheirTypeAskedFor) {
    auto game = application("42");
    for (auto [text, expected] :
         {std::pair{"12abc", uint64_t{12}}, std::pair{"abc", uint64_t{0}},
          std::pair{"  7", uint64_t{7}}, std::pair{"+9", uint64_t{9}}, std::pair{"-1", UINT64_MAX},
          std::pair{"", uint64_t{0}}, std::pair{"99999999999999999999999", UINT64_MAX}}) {
        writeRaw(recordKey("42"), "TotalSize", text);
        EXPECT_EQ(game->getTotalSize(), expected) << text;
    }
    writeRaw(recordKey("42"), "UPID", "5");  // "5" and its terminator: 4 bytes, read as a number
    EXPECT_EQ(game->getUPID(), 0x35);
    writeRaw(recordKey("42"), "Version", "3", REG_DWORD);
    EXPECT_STREQ(game->getVersion().c_str(), "\x03");
}

#ifndef _WIN32
TEST_F(Record, SetterWhoseKeyCannotBeCreatedIsReportedAndStoresNothing) {
    palInjectFault("RegCreateKeyExW", ERROR_ACCESS_DENIED, 0, 1);
    application("42")->setTotalSize(5);
    EXPECT_FALSE(keyExists(recordKey("42")));
    const auto lines = loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module + " " + std::to_string(lines[0].level), "Orvane.dll 2");
    EXPECT_EQ(lines[0].text.rfind("Failed setting registry key: ", 0), 0u);
}
#endif

}  // namespace
}  // namespace OrvaneTest
