#include "lib/LibraryFixture.h"
#include "lib/RealRecord.h"

#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

namespace OrvaneTest {
namespace {

// A temporary folder holds the client at C:\Client and games below C:\Games: on the PAL the
// folder is drive C:, on Windows its own path stands for C: (see on).
class Uninstall : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        setClientDirectory(on("C:\\Client"));
        tree_.file("Client/Orvane.exe");
    }

    bool exists(const std::string& relative) const {
        return std::filesystem::exists(std::filesystem::symlink_status(tree_.path(relative)));
    }
    bool registerGame(const char* id, const std::string& path, const std::string& installPath) {
        return application(id)->registerApplication(on(path).c_str(), on(installPath).c_str(),
                                                    (std::string("Game ") + id).c_str(), "1", "i");
    }
    // Game A with files in its install folder and its user data.
    void installGame(const std::string& path, const std::string& installPath) {
        ASSERT_TRUE(registerGame("A", path, "C:\\Games\\A"));
        writeRaw(recordKey("A"), "InstallPath", on(installPath));
        for (const char* file : {"Games/A/bin/game.exe", "Games/A/data/level1.pak",
                                 "Client/content/userdata/A/save.dat"}) {
            tree_.file(file);
        }
    }
    bool recordIntact() const { return keyExists(recordKey("A")) && keyExists(entryKey("A")); }

    // Where the system's Shell cannot delete (Wine), the removal must stop there with the failure
    // reported and the record intact; the test then ends.
    bool shellIsStub() {
        if (!fileOperationIsStub()) {
            return false;
        }
        EXPECT_FALSE(application("A")->uninstall(nullptr));
        EXPECT_TRUE(recordIntact());
        EXPECT_EQ(linesAt(2), 1u);  // the Shell's failure
        EXPECT_EQ(linesAt(0), 1u);
        return true;
    }

    // The path with its leading "C:" on the test's drive.
    std::string on(const std::string& path) const {
#ifdef _WIN32
        return onDrive(path, utf8(tree_.root()));
#else
        return path;
#endif
    }

    TTempTree tree_;
#ifndef _WIN32
    TScopedEnvironment driveC_{"ORVANE_PAL_DRIVE_C", tree_.root().string()};
#endif
};

TEST_F(Uninstall, RemovesFilesThenRecordPackagesAndEntry) {
    installGame("C:\\Games\\A\\bin\\game.exe", "C:\\Games\\A");
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("A")->createPackage("dlc"));
    ASSERT_TRUE(package->registerPackage(on("C:\\Games\\A\\dlc").c_str(), "1"));
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    EXPECT_TRUE(application("A")->uninstall(nullptr));
    EXPECT_FALSE(exists("Games/A") || exists("Client/content/userdata/A"));
    EXPECT_TRUE(exists("Client/Orvane.exe"));
    EXPECT_FALSE(keyExists(recordKey("A")) || keyExists(entryKey("A")));
}

// Half-removed or never-installed games lose what is left of them: without an install path the
// path is deleted (A); without folders the user data (B, D); with nothing left (C) the Shell is
// still asked.
TEST_F(Uninstall, WhatIsLeftOfAGameIsRemoved) {
    installGame("C:\\Games\\A", "");
    tree_.file("Client/content/userdata/B/save.dat");
    application("B")->setTotalSize(1);
    writeRaw(entryKey("B"), "DisplayName", "Game B");
    ASSERT_TRUE(registerGame("C", "C:\\Games\\C", "C:\\Games\\C"));
    tree_.file("Client/content/userdata/D/save.dat");
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    for (const std::string id : {"A", "B", "C", "D"}) {
        bool called = false;
        EXPECT_TRUE(application(id.c_str())->uninstall([&](uint32_t, uint32_t) { called = true; }));
        EXPECT_EQ(called, id != "C") << id;
        EXPECT_FALSE(application(id.c_str())->isInstalled()) << id;
        EXPECT_FALSE(exists("Client/content/userdata/" + id)) << id;
    }
    EXPECT_FALSE(exists("Games/A"));
    EXPECT_TRUE(installedGames().empty());
}

TEST_F(Uninstall, WithoutClientDirectoryNothingIsTouched) {
    deleteKeyTree("Software\\Orvane\\Client\\");
    installGame("C:\\Games\\A", "C:\\Games\\A");
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_TRUE(exists("Games/A/bin/game.exe") && exists("Client/content/userdata/A/save.dat"));
    EXPECT_EQ(linesAt(0), 1u);
    EXPECT_TRUE(keyExists(entryKey("A")));
}

// A step that fails, or finds its work undone, stops the removal there with one information line
// (and the failure's report) and leaves what follows. A folder recorded in place of C:\Games\A
// that would take more than the game with it is refused, and reported, before anything is deleted.
struct Stop {
    const char* installPath;
    const char* fault;  // the system call that fails, on the PAL
    LONG result;
    unsigned callsToSkip;
    bool filesGone;
    bool recordGone;
};

class UninstallStop : public Uninstall, public testing::WithParamInterface<Stop> {};

const auto refused = [](const char* path) { return Stop{path, nullptr, 0, 0, false, false}; };

TEST_P(UninstallStop, LeavesWhatFollows) {
    const Stop& stop = GetParam();
    installGame("C:\\Games\\A", stop.installPath);
    tree_.file("Games/B/game.exe");
    ASSERT_TRUE(registerGame("B", "C:\\Games\\B", "C:\\Games\\B"));
    clearLoggedLines();
#ifndef _WIN32
    if (stop.fault != nullptr) {
        palInjectFault(stop.fault, stop.result, stop.callsToSkip, 1);
    }
#endif
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_EQ(exists("Games/A/bin/game.exe"), !stop.filesGone);
    EXPECT_EQ(exists("Client/content/userdata/A/save.dat"), !stop.filesGone);
    EXPECT_TRUE(exists("Games/B/game.exe"));
    EXPECT_EQ(keyExists(recordKey("A")), !stop.recordGone);
    EXPECT_TRUE(keyExists(entryKey("A")));
    EXPECT_EQ(linesAt(0), 1u);
    EXPECT_EQ(linesAt(2), stop.fault != nullptr || !stop.filesGone ? 1u : 0u);  // its report
#ifndef _WIN32
    if (stop.fault != nullptr) {
        palClearFaults();
        EXPECT_TRUE(application("A")->uninstall(nullptr));  // a later call finishes the work
        EXPECT_FALSE(recordIntact());
    }
#endif
}

// Other games' folders and other spellings of these are RemovalGuardTest's rows.
INSTANTIATE_TEST_SUITE_P(Folders, UninstallStop,
                         testing::Values(refused("Games\\A"), refused("C:"), refused("C:\\"),
                                         refused("/"), refused("C:\\Games\\.."),
                                         refused("\\\\server\\share"),
                                         refused("\\\\server\\share\\"), refused("C:\\Client"),
                                         refused("C:\\Client\\content")));

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Steps, UninstallStop,
    testing::Values(Stop{"C:\\Games\\A\\bin", nullptr, 0, 0, true, false},  // the path remains
                    Stop{"C:\\Games\\A", "PerformOperations", LONG(0x80070005), 0, false, false},
                    Stop{"C:\\Games\\A", "CoCreateInstance", LONG(0x80004005), 0, false, false},
                    Stop{"C:\\Games\\A", "RegDeleteKeyW", ERROR_ACCESS_DENIED, 0, true, false},
                    Stop{"C:\\Games\\A", "RegDeleteKeyW", ERROR_ACCESS_DENIED, 1, true, true}));
#endif

// A game's record in the registry of the user who runs the tests, there before the test's override
// starts, is the same byte for byte after a test that registers, uninstalls and deletes games of
// its id.
class RealRecord : public Uninstall {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, canary_.plant());
        before_ = canary_.snapshot();
        Uninstall::SetUp();
    }
    void TearDown() override {
        Uninstall::TearDown();
        EXPECT_FALSE(before_.empty());
        EXPECT_EQ(before_, canary_.snapshot());
    }

    TRealRecord canary_{recordKey("Canary")};
    TRealRecord::TSnapshot before_;
};

TEST_F(RealRecord, OutlivesATestThatRemovesGamesOfItsId) {
    EXPECT_FALSE(application("Canary")->isInstalled());
    ASSERT_TRUE(registerGame("Canary", "C:\\Games\\Canary", "C:\\Games\\Canary"));
    tree_.file("Games/Canary/canary.exe");
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("Canary")->createPackage("dlc"));
    ASSERT_TRUE(package->registerPackage(on("C:\\Games\\Canary\\dlc").c_str(), "2"));
    application("Canary")->setUPID(7);
    EXPECT_EQ(installedGames(), std::vector<std::string>{"Canary"});
    // Wine's Shell deletes nothing, so there the removal stops early; either way it ran.
    application("Canary")->uninstall(nullptr);
    deleteKeyTree("Software\\Orvane");
    EXPECT_TRUE(installedGames().empty());
}

}  // namespace
}  // namespace OrvaneTest
