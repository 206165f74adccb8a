#include "lib/LibraryFixture.h"

namespace OrvaneTest {
namespace {

const char kApplications[] = "Software\\Orvane\\Client\\Applications";

// Ids that would address other keys or folders than the game's own.
class RefusedId : public LibraryTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        setClientDirectory("C:\\Client");
        ASSERT_TRUE(application("keep")->registerApplication("C:\\Games\\keep", "C:\\Games\\keep",
                                                             "Keep", "1", "icon"));
        clearLoggedLines();
    }

    // Every refused operation reports once at warning level and leaves the hive as it was.
    void expectRefusals(size_t operations) {
        EXPECT_EQ(linesAt(2).size(), operations);
        EXPECT_TRUE(raised.empty());
        EXPECT_EQ(installedGames(), std::vector<std::string>{"keep"});
        EXPECT_EQ(readRawValue(std::string(kApplications) + "\\keep", "Path").text(),
                  "C:\\Games\\keep");
    }
};

TEST_P(RefusedId, ApplicationOperationsChangeNothing) {
    auto game = application(GetParam());
    EXPECT_FALSE(game->registerApplication("C:\\x", "C:\\x", "x", "1", "i"));
    game->setTotalSize(1);
    game->setInstallSize(1);
    game->setCompatibilityFlags("f");
    game->setVFSVersion(1);
    game->setUPID(1);
    EXPECT_FALSE(game->uninstall(nullptr));
    expectRefusals(7);
    EXPECT_FALSE(game->isInstalled());
    EXPECT_EQ(game->getUPID(), -1);
    EXPECT_EQ(game->getTotalSize(), 0u);
    EXPECT_EQ(game->getPackages().getCount(), 0u);
}

TEST_P(RefusedId, PackageOperationsChangeNothing) {
    std::unique_ptr<OrvaneLib::ulIPackage> badPackage(
        application("keep")->createPackage(GetParam()));
    std::unique_ptr<OrvaneLib::ulIPackage> badOwner(application(GetParam())->createPackage("p"));
    for (OrvaneLib::ulIPackage* package : {badPackage.get(), badOwner.get()}) {
        EXPECT_FALSE(package->registerPackage("C:\\p", "1"));
        EXPECT_FALSE(package->unregisterPackage());
        EXPECT_FALSE(package->isInstalled());
        EXPECT_TRUE(package->getVersion().isEmpty());
    }
    expectRefusals(4);
}

INSTANTIATE_TEST_SUITE_P(Ids, RefusedId,
                         testing::Values("", ".", "..", "a\\b", "a/b", "\\", "/", "..\\keep"));

TEST_F(LibraryTest, OrdinaryIdsAreAccepted) {
    for (const char* id : {"42", "a.b", "...", "Game Name", "\xC3\xA9t\xC3\xA9"}) {
        application(id)->setTotalSize(3);
        EXPECT_EQ(application(id)->getTotalSize(), 3u) << id;
    }
    EXPECT_TRUE(linesAt(2).empty());
}

}  // namespace
}  // namespace OrvaneTest
