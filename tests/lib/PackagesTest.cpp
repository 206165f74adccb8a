#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kPackages[] = "Software\\Orvane\\Client\\Applications\\42\\Packages\\";

using Packages = LibraryTest;

std::vector<std::string> names(const OrvaneLib::TPointerArray<OrvaneLib::ulIPackage*>& packages) {
    std::vector<std::string> result;
    for (uint32_t i = 0; i < packages.getCount(); ++i) {
        result.push_back(packages.get(i)->getName().c_str());
    }
    return result;
}

TEST_F(Packages, RegisterQueryAndUnregister) {
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("42")->createPackage("base"));
    EXPECT_FALSE(package->isInstalled());
    EXPECT_FALSE(keyExists("Software\\Orvane\\Client\\Applications\\42"));
    ASSERT_TRUE(package->registerPackage("C:\\Games\\42\\base", "3"));
    EXPECT_TRUE(package->isInstalled());
    EXPECT_EQ(std::string(package->getPath().c_str()), "C:\\Games\\42\\base");
    EXPECT_EQ(std::string(package->getVersion().c_str()), "3");
    EXPECT_EQ(readRawValue(std::string(kPackages) + "base", "Path").type, REG_SZ);
    EXPECT_TRUE(package->unregisterPackage());
    EXPECT_FALSE(package->isInstalled());
    EXPECT_TRUE(package->unregisterPackage());  // nothing left to delete
}

TEST_F(Packages, VersionIsWrittenBeforePath) {
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("42")->createPackage("base"));
    EXPECT_FALSE(package->registerPackage("C:\\x", ""));
    EXPECT_FALSE(keyExists(std::string(kPackages) + "base"));
    EXPECT_FALSE(package->registerPackage("", "3"));
    EXPECT_EQ(std::string(package->getVersion().c_str()), "3");
    EXPECT_FALSE(package->isInstalled());
}

TEST_F(Packages, ListedInReverseEnumerationOrder) {
    auto game = application("42");
    for (const char* id : {"b", "c", "a"}) {
        std::unique_ptr<OrvaneLib::ulIPackage> package(game->createPackage(id));
        ASSERT_TRUE(package->registerPackage("p", "v"));
    }
    EXPECT_EQ(names(game->getPackages()), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_TRUE(application("7")->getPackages().getCount() == 0);
}

TEST_F(Packages, PackageOutlivesItsApplicationObject) {
    auto game = application("42");
    std::unique_ptr<OrvaneLib::ulIPackage> package(game->createPackage("base"));
    game.reset();
    EXPECT_TRUE(package->registerPackage("p", "v"));
    EXPECT_EQ(names(application("42")->getPackages()), std::vector<std::string>{"base"});
}

TEST_F(Packages, InstalledGamesReplaceTheCallersEntries) {
    for (const char* id : {"b", "a"}) {
        application(id)->setTotalSize(1);
    }
    OrvaneLib::TArray<OrvaneLib::TString> games;
    games.add(OrvaneLib::TString("stale"));
    getInstalledGames(games);
    ASSERT_EQ(games.getCount(), 2u);
    EXPECT_STREQ(games.get(0).c_str(), "a");
    EXPECT_STREQ(games.get(1).c_str(), "b");
    deleteKeyTree("Software\\Orvane");
    getInstalledGames(games);
    EXPECT_EQ(games.getCount(), 0u);
}

}  // namespace
}  // namespace OrvaneTest
