// The temporary key that tests work below, against the PAL and against a real registry.
#include "support/RegistryOverride.h"

#include "win32/RegistryKey.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using OrvaneTest::TRegistryOverride;
typedef TRegistryOverride::TWide TWide;
using std::chrono::hours;

LONG make(const TWide& path) {
    return OrvaneLib::TRegistryKey().create(HKEY_CURRENT_USER, path.c_str(), KEY_READ);
}
LONG find(const TWide& path) {
    return OrvaneLib::TRegistryKey().open(HKEY_CURRENT_USER, path.c_str(), KEY_READ);
}
TWide below(const TWide& name) {
    return TWide(TRegistryOverride::kParent) + W("\\") + name;
}

TEST(RegistryOverride, KeysMadeDuringItLandBelowTheTemporaryKeyWhichGoesAfterwards) {
    TRegistryOverride registry;
    ASSERT_EQ(ERROR_SUCCESS, registry.start());
    const TWide path = registry.path();
    ASSERT_EQ(ERROR_SUCCESS, make(W("Software\\Probe")));
    const LONG hidden = find(path);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, nullptr));
    const LONG landed = find(path + W("\\Software\\Probe"));
    EXPECT_EQ(ERROR_SUCCESS, registry.stop());

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, hidden);
    EXPECT_EQ(ERROR_SUCCESS, landed);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, find(path));
    EXPECT_TRUE(registry.path().empty());
    EXPECT_EQ(ERROR_SUCCESS, registry.stop());
}

// A crashed run's key goes once it is a day old; a key of a run that may still be going, or one
// that no run made, stays.
TEST(RegistryOverride, StartingRemovesOnlyTheTemporaryKeysOlderThanADay) {
    const auto now = TRegistryOverride::TClock::now();
    const TWide stale = TRegistryOverride::keyPath(now - hours(25));
    const TWide running = TRegistryOverride::keyPath(now - hours(23));
    const TWide handmade = below(W("12x-1"));
    EXPECT_NE(TRegistryOverride::keyPath(now), TRegistryOverride::keyPath(now));
    for (const TWide& path : {stale, running, handmade}) {
        ASSERT_EQ(ERROR_SUCCESS, make(path + W("\\Software")));
    }
    {
        TRegistryOverride registry;
        ASSERT_EQ(ERROR_SUCCESS, registry.start());
    }
    const std::vector<LONG> found = {find(stale), find(running), find(handmade)};
    for (const TWide& path : {running, handmade}) {
        RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    }
    EXPECT_EQ((std::vector<LONG>{ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_SUCCESS}), found);
}

}  // namespace
