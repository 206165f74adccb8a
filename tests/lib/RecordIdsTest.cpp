#include "lib/LibraryFixture.h"

#include <tuple>

namespace OrvaneTest {
namespace {

// Ids that would address other keys or folders than the game's own: every operation with them is
// refused with one warning each and leaves the hive as it was.
class RefusedId : public LibraryTest, public testing::WithParamInterface<const char*> {};

TEST_P(RefusedId, OperationsChangeNothing) {
    setClientDirectory("C:\\Client");
    ASSERT_TRUE(application("keep")->registerApplication("C:\\Games\\keep", "C:\\Games\\keep",
                                                         "Keep", "1", "icon"));
    clearLoggedLines();
    auto game = application(GetParam());
    EXPECT_FALSE(game->registerApplication("C:\\x", "C:\\x", "x", "1", "i"));
    game->setTotalSize(1);
    game->setInstallSize(1);
    game->setCompatibilityFlags("f");
    game->setVFSVersion(1);
    game->setUPID(1);
    EXPECT_FALSE(game->uninstall(nullptr));
    EXPECT_EQ(std::make_tuple(game->isInstalled(), game->getUPID(), game->getTotalSize(),
                              game->getPackages().getCount()),
              std::make_tuple(false, -1, uint64_t{0}, 0u));

    std::unique_ptr<OrvaneLib::ulIPackage> badPackage(
        application("keep")->createPackage(GetParam()));
    std::unique_ptr<OrvaneLib::ulIPackage> badOwner(game->createPackage("p"));
    for (OrvaneLib::ulIPackage* package : {badPackage.get(), badOwner.get()}) {
        EXPECT_FALSE(package->registerPackage("C:\\p", "1"));
        EXPECT_FALSE(package->unregisterPackage());
        EXPECT_FALSE(package->isInstalled());
        EXPECT_TRUE(package->getVersion().isEmpty());
    }
    EXPECT_EQ(linesAt(2), 11u);
    EXPECT_EQ(installedGames(), std::vector<std::string>{"keep"});
    EXPECT_EQ(readRaw(recordKey("keep"), "Path"), "sz:C:\\Games\\keep");
}

INSTANTIATE_TEST_SUITE_P(Ids, RefusedId,
                         testing::Values("", ".", "..", "a\\b", "a/b", "\\", "/", "..\\keep"));

TEST_F(LibraryTest, OrdinaryIdsAreAccepted) {
    for (const char* id : {"42", "a.b", "...", "Game Name", "\xC3\xA9t\xC3\xA9"}) {
        application(id)->setTotalSize(3);
        EXPECT_EQ(application(id)->getTotalSize(), 3u) << id;
    }
    EXPECT_EQ(linesAt(2), 0u);
}

}  // namespace
}  // namespace OrvaneTest
