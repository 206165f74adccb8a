#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

using Packages = LibraryTest;

// "Version" is written before "Path": a registration without a path leaves the version.
TEST_F(Packages, RegisterQueryAndUnregister) {
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("42")->createPackage("base"));
    EXPECT_FALSE(package->registerPackage("C:\\x", ""));
    EXPECT_FALSE(keyExists(recordKey("42")));
    EXPECT_FALSE(package->registerPackage("", "2"));
    EXPECT_STREQ(package->getVersion().c_str(), "2");
    EXPECT_FALSE(package->isInstalled());

    ASSERT_TRUE(package->registerPackage("C:\\Games\\42\\base", "3"));
    EXPECT_TRUE(package->isInstalled());
    EXPECT_STREQ(package->getVersion().c_str(), "3");
    EXPECT_EQ(readRaw(recordKey("42") + "\\Packages\\base", "Path"), "sz:C:\\Games\\42\\base");
    EXPECT_TRUE(package->unregisterPackage());
    EXPECT_FALSE(package->isInstalled());
    EXPECT_TRUE(package->unregisterPackage());  // nothing left to delete
}

// Listed in reverse enumeration order; a package object outlives its application object.
TEST_F(Packages, ListedFromLastToFirst) {
    auto game = application("42");
    for (const char* id : {"b", "c", "a"}) {
        std::unique_ptr<OrvaneLib::ulIPackage> package(game->createPackage(id));
        game.reset();
        ASSERT_TRUE(package->registerPackage("p", "v"));
        game = application("42");
    }
    const auto packages = game->getPackages();
    ASSERT_EQ(packages.getCount(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(packages.get(i)->getName().c_str(), std::string(1, "cba"[i]));
    }
    EXPECT_EQ(application("7")->getPackages().getCount(), 0u);
}

// In enumeration order.
TEST_F(Packages, InstalledGamesAreTheRecordedOnes) {
    for (const char* id : {"b", "a"}) {
        application(id)->setTotalSize(1);
    }
    EXPECT_EQ(installedGames(), (std::vector<std::string>{"a", "b"}));
    deleteKeyTree("Software\\Orvane");
    EXPECT_TRUE(installedGames().empty());
}

}  // namespace
}  // namespace OrvaneTest
