#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kRecord42[] = "Software\\Orvane\\Client\\Applications\\42";
const char kEntry42[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App 42";

using Record = LibraryTest;

TEST_F(Record, WithoutRecordEverythingReadsAsDefault) {
    auto game = application("42");
    EXPECT_FALSE(game->isInstalled());
    EXPECT_TRUE(game->getPath().isEmpty());
    EXPECT_TRUE(game->getInstallPath().isEmpty());
    EXPECT_TRUE(game->getVersion().isEmpty());
    EXPECT_TRUE(game->getDisplayName().isEmpty());
    EXPECT_TRUE(game->getCompatibilityFlags().isEmpty());
    EXPECT_EQ(game->getTotalSize(), 0u);
    EXPECT_EQ(game->getInstallSize(), 0u);
    EXPECT_EQ(game->getVFSVersion(), -1);
    EXPECT_EQ(game->getUPID(), -1);
    EXPECT_FALSE(keyExists(kRecord42));
}

TEST_F(Record, InstalledByPathAloneOrByDisplayNameAlone) {
    writeRawText(kRecord42, "Path", "C:\\Games\\42");
    EXPECT_TRUE(application("42")->isInstalled());
    deleteKeyTree(kRecord42);
    writeRawText(kEntry42, "DisplayName", "Forty-two");
    EXPECT_TRUE(application("42")->isInstalled());
    EXPECT_EQ(std::string(application("42")->getDisplayName().c_str()), "Forty-two");
}

TEST_F(Record, SizesAreDecimalTextAndReadBackWhole) {
    auto game = application("42");
    for (uint64_t size : {uint64_t{0}, uint64_t{123456789012}, UINT64_MAX}) {
        game->setTotalSize(size);
        game->setInstallSize(size);
        RawValue stored = readRawValue(kRecord42, "TotalSize");
        EXPECT_EQ(stored.type, REG_SZ);
        EXPECT_EQ(stored.text(), std::to_string(size));
        EXPECT_EQ(readRawValue(kRecord42, "InstallSize").text(), std::to_string(size));
        EXPECT_EQ(game->getTotalSize(), size);
        EXPECT_EQ(game->getInstallSize(), size);
    }
}

TEST_F(Record, SizeTextFromElsewhereIsParsedUpToTheFirstOtherCharacter) {
    auto game = application("42");
    const std::pair<const char*, uint64_t> cases[] = {{"12abc", 12},
                                                      {"abc", 0},
                                                      {"  7", 7},
                                                      {"+9", 9},
                                                      {"-1", UINT64_MAX},
                                                      {"", 0},
                                                      {"99999999999999999999999", UINT64_MAX}};
    for (const auto& [text, expected] : cases) {
        writeRawText(kRecord42, "TotalSize", text);
        EXPECT_EQ(game->getTotalSize(), expected) << text;
    }
}

TEST_F(Record, NumbersAreRegistryNumbersAndReadBackSigned) {
    auto game = application("42");
    for (int32_t number : {7, 0, -1, INT32_MIN, INT32_MAX}) {
        game->setUPID(number);
        game->setVFSVersion(number);
        RawValue stored = readRawValue(kRecord42, "UPID");
        EXPECT_EQ(stored.type, REG_DWORD);
        EXPECT_EQ(stored.number(), static_cast<DWORD>(number));
        EXPECT_EQ(readRawValue(kRecord42, "VFSVersion").number(), static_cast<DWORD>(number));
        EXPECT_EQ(game->getUPID(), number);
        EXPECT_EQ(game->getVFSVersion(), number);
    }
}

TEST_F(Record, CompatibilityFlagsKeepTheirValueWhenSetEmpty) {
    auto game = application("42");
    game->setCompatibilityFlags("RUNASADMIN");
    game->setCompatibilityFlags("");
    EXPECT_EQ(readRawValue(kRecord42, "CompatibilityFlags").text(), "RUNASADMIN");
    EXPECT_EQ(std::string(game->getCompatibilityFlags().c_str()), "RUNASADMIN");
    EXPECT_TRUE(linesAt(2).empty());
}

TEST_F(Record, AValueStoredWithAnotherTypeIsReadForTheTypeAskedFor) {
    writeRawText(kRecord42, "UPID", "5");  // "5" and its terminator: 4 bytes, read as a number
    EXPECT_EQ(application("42")->getUPID(), 0x35);
    writeRawNumber(kRecord42, "Version", 3);
    EXPECT_EQ(std::string(application("42")->getVersion().c_str()), "\x03");
}

TEST_F(Record, TwoObjectsForOneIdSeeTheSameData) {
    auto first = application("42");
    auto second = application("42");
    first->setTotalSize(5);
    EXPECT_EQ(second->getTotalSize(), 5u);
}

#ifndef _WIN32
TEST_F(Record, SetterWhoseKeyCannotBeCreatedIsReportedAndStoresNothing) {
    palInjectFault("RegCreateKeyExW", ERROR_ACCESS_DENIED, 0, 1);
    application("42")->setTotalSize(5);
    EXPECT_FALSE(keyExists(kRecord42));
    auto warnings = linesAt(2);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].module, "Orvane.dll");
    EXPECT_NE(warnings[0].text.find("Failed setting registry key: "), std::string::npos);
    EXPECT_TRUE(raised.empty());
}
#endif

}  // namespace
}  // namespace OrvaneTest
