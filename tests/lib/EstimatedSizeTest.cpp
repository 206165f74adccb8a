// The size that the Windows program list shows: "EstimatedSize" of the uninstall entry, in
// kilobytes, kept in step with the record's "InstallSize".
#include "lib/LibraryFixture.h"

#include <cstdint>
#include <string>

namespace OrvaneTest {
namespace {

class EstimatedSize : public LibraryTest {
protected:
    bool registerGame(const char* id) {
        return application(id)->registerApplication("C:\\G\\g.exe", "C:\\G", "G", "1", "g.ico");
    }
};

struct TSizeCase {
    uint64_t bytes;
    const char* stored;
};

class EstimatedSizeOf : public EstimatedSize, public testing::WithParamInterface<TSizeCase> {};

// Rounded up to whole kilobytes; sizes of 4 TiB and more show the largest 32-bit number.
TEST_P(EstimatedSizeOf, SettingTheInstallSizeWritesKilobytesRoundedUp) {
    ASSERT_TRUE(registerGame("42"));
    application("42")->setInstallSize(GetParam().bytes);
    EXPECT_EQ(readRaw(entryKey("42"), "EstimatedSize"), GetParam().stored);
    EXPECT_EQ(application("42")->getInstallSize(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EstimatedSizeOf,
                         testing::Values(TSizeCase{0, "dword:0"}, TSizeCase{1, "dword:1"},
                                         TSizeCase{1024, "dword:1"}, TSizeCase{1025, "dword:2"},
                                         TSizeCase{2147483648ull * 1024, "dword:2147483648"},
                                         TSizeCase{4294967295ull * 1024, "dword:4294967295"},
                                         TSizeCase{4294967295ull * 1024 + 1, "dword:4294967295"},
                                         TSizeCase{UINT64_MAX, "dword:4294967295"}));

TEST_F(EstimatedSize, RegistrationWritesItOnlyWhenASizeIsKnown) {
    ASSERT_TRUE(registerGame("A"));
    EXPECT_EQ(readRaw(entryKey("A"), "EstimatedSize"), "");

    // A size set before the game was listed: no entry is made for it, registration adds it.
    application("B")->setInstallSize(3000);
    EXPECT_FALSE(keyExists(entryKey("B")));
    ASSERT_TRUE(registerGame("B"));
    EXPECT_EQ(readRaw(entryKey("B"), "EstimatedSize"), "dword:3");
    EXPECT_EQ(readRaw(entryKey("B"), "DisplayName"), "sz:G");
}

}  // namespace
}  // namespace OrvaneTest
