#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

using Packages = LibraryTest;

std::vector<std::string> names(const OrvaneLib::TPointerArray<OrvaneLib::ulIPackage*>& packages) {
    std::vector<std::string> result;
    for (uint32_t i = 0; i < packages.getCount(); ++i) {
        result.push_back(packages.get(i)->getName().c_str());
    }
    return result;
}

// "Version" is written before "Path": a registration without a path leaves the version.
TEST_F(Packages, RegisterQueryAndUnregister) {
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("42")->createPackage("base"));
    EXPECT_FALSE(package->isInstalled());
    EXPECT_FALSE(package->registerPackage("C:\\x", ""));
    EXPECT_FALSE(keyExists(recordKey("42")));
    EXPECT_FALSE(package->registerPackage("", "2"));
    EXPECT_STREQ(package->getVersion().c_str(), "2");
    EXPECT_FALSE(package->isInstalled());

    ASSERT_TRUE(package->registerPackage("C:\\Games\\42\\base", "3"));
    EXPECT_TRUE(package->isInstalled());
    EXPECT_STREQ(package->getPath().c_str(), "C:\\Games\\42\\base");
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
    EXPECT_EQ(names(game->getPackages()), (std::vector<std::string>{"c", "b", "a"}));
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
