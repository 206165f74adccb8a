#include "lib/LibraryFixture.h"

#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace OrvaneTest {
namespace {

const char kRecord[] = "Software\\Orvane\\Client\\Applications\\A";
const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App A";

// A temporary folder holds the client at C:\Client and games below C:\Games: on the PAL the
// folder is drive C:, on Windows its own path stands for C: (see on).
class Uninstall : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        setClientDirectory(on("C:\\Client"));
        makeFile("Client/Orvane.exe");
    }

    // The path with its leading "C:" on the test's drive.
    std::string on(const std::string& path) const {
#ifdef _WIN32
        return OrvaneTest::onDrive(path, tree_.root().u8string());
#else
        return path;
#endif
    }
    void setPath(const char* valueName, const std::string& path) {
        writeRawText(kRecord, valueName, on(path));
    }

    // A file below drive C:, with its folders.
    void makeFile(const std::string& relative) {
        tree_.file(relative);
    }

    bool onDrive(const std::string& relative) const {
        return fs::exists(fs::symlink_status(tree_.path(relative)));
    }

    bool registerGame(const char* id, const std::string& path, const std::string& installPath) {
        return application(id)->registerApplication(on(path).c_str(), on(installPath).c_str(),
                                                    (std::string("Game ") + id).c_str(), "1", "i");
    }

    // Game A with files in its install folder and its user data.
    void installGame(const std::string& path, const std::string& installPath) {
        ASSERT_TRUE(registerGame("A", path, "C:\\Games\\A"));
        setPath("InstallPath", installPath);
        makeFile("Games/A/bin/game.exe");
        makeFile("Games/A/data/level1.pak");
        makeFile("Client/content/userdata/A/save.dat");
    }

    bool recordIntact() const {
        return keyExists(kRecord) && keyExists(kEntry);
    }

    std::vector<std::string> infoLines() const {
        std::vector<std::string> texts;
        for (const LogLine& line : linesAt(0)) {
            texts.push_back(line.text);
        }
        return texts;
    }

    // Where the system's Shell cannot delete (Wine), the removal must stop there with the failure
    // reported and the record intact; the test then ends.
    bool shellIsStub() {
        if (!fileOperationIsStub()) {
            return false;
        }
        EXPECT_FALSE(application("A")->uninstall(nullptr));
        EXPECT_TRUE(recordIntact());
        EXPECT_EQ(linesAt(2).size(), 1u);  // the Shell's failure
        EXPECT_EQ(infoLines().size(), 1u);
        return true;
    }

    OrvaneTest::TTempTree tree_;
#ifndef _WIN32
    OrvaneTest::TScopedEnvironment driveC_{"ORVANE_PAL_DRIVE_C", tree_.root().string()};
#endif
};

TEST_F(Uninstall, RemovesFilesThenRecordPackagesAndEntry) {
    installGame("C:\\Games\\A\\bin\\game.exe", "C:\\Games\\A");
    std::unique_ptr<OrvaneLib::ulIPackage> package(application("A")->createPackage("dlc"));
    ASSERT_TRUE(package->registerPackage(on("C:\\Games\\A\\dlc").c_str(), "1"));
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    std::vector<std::pair<uint32_t, uint32_t>> progress;
    EXPECT_TRUE(application("A")->uninstall(
        [&progress](uint32_t done, uint32_t total) { progress.emplace_back(done, total); }));
    EXPECT_FALSE(onDrive("Games/A"));
    EXPECT_FALSE(onDrive("Client/content/userdata/A"));
    EXPECT_TRUE(onDrive("Client/Orvane.exe"));
    EXPECT_FALSE(keyExists(kRecord));
    EXPECT_FALSE(keyExists(kEntry));
    EXPECT_FALSE(application("A")->isInstalled());
    EXPECT_TRUE(installedGames().empty());
    ASSERT_FALSE(progress.empty());
    for (const auto& [done, total] : progress) {
        EXPECT_LE(done, total);
    }
    EXPECT_EQ(progress.back().first, progress.back().second);
}

TEST_F(Uninstall, WithoutInstallPathThePathIsDeleted) {
    installGame("C:\\Games\\A", "");
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    EXPECT_TRUE(application("A")->uninstall(nullptr));
    EXPECT_FALSE(onDrive("Games/A"));
    EXPECT_FALSE(keyExists(kRecord));
}

TEST_F(Uninstall, RecordWithoutFoldersRemovesOnlyUserData) {
    makeFile("Client/content/userdata/A/save.dat");
    application("A")->setTotalSize(1);
    writeRawText(kEntry, "DisplayName", "Game A");
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    EXPECT_TRUE(application("A")->uninstall(nullptr));
    EXPECT_FALSE(onDrive("Client/content/userdata/A"));
    EXPECT_FALSE(recordIntact());
}

TEST_F(Uninstall, GameWhoseFilesAreAlreadyGoneLosesItsRecord) {
    ASSERT_TRUE(registerGame("A", "C:\\Games\\A", "C:\\Games\\A"));
    if (shellIsStub()) {  // it is asked even when nothing is left to delete
        GTEST_SKIP() << kStubShellReason;
    }
    bool called = false;
    EXPECT_TRUE(application("A")->uninstall([&called](uint32_t, uint32_t) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_FALSE(keyExists(kRecord));
    EXPECT_FALSE(keyExists(kEntry));
}

TEST_F(Uninstall, WithoutClientDirectoryNothingIsTouched) {
    installGame("C:\\Games\\A", "C:\\Games\\A");
    deleteKeyTree("Software\\Orvane\\Client\\");
    setPath("Path", "C:\\Games\\A");
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_TRUE(onDrive("Games/A/bin/game.exe"));
    EXPECT_TRUE(onDrive("Client/content/userdata/A/save.dat"));
    ASSERT_EQ(infoLines().size(), 1u);
    EXPECT_TRUE(keyExists(kEntry));
}

TEST_F(Uninstall, PathOutsideInstallPathKeepsTheRecord) {
    installGame("C:\\Other\\A", "C:\\Games\\A");
    makeFile("Other/A/game.exe");
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_FALSE(onDrive("Games/A"));
    EXPECT_TRUE(onDrive("Other/A/game.exe"));
    EXPECT_TRUE(recordIntact());
    EXPECT_EQ(infoLines().size(), 1u);
}

TEST_F(Uninstall, SymbolicLinkToTheUsersFilesRemovesOnlyTheLink) {
    installGame("C:\\Games\\A", "C:\\Games\\A");
    makeFile("Users/me/Documents/thesis.doc");
    if (shellIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    fs::create_directory_symlink(tree_.path("Users/me/Documents"), tree_.path("Games/A/docs"));
    EXPECT_TRUE(application("A")->uninstall(nullptr));
    EXPECT_FALSE(onDrive("Games/A"));
    EXPECT_TRUE(onDrive("Users/me/Documents/thesis.doc"));
}

#ifndef _WIN32
// A failing step stops the removal there, with one information line, and leaves what follows.
struct FailedStep {
    const char* function;
    LONG result;
    unsigned callsToSkip;
    bool filesGone;
    bool recordGone;
};

class UninstallFailure : public Uninstall, public testing::WithParamInterface<FailedStep> {};

TEST_P(UninstallFailure, StopsAtTheFailedStep) {
    installGame("C:\\Games\\A", "C:\\Games\\A");
    palInjectFault(GetParam().function, GetParam().result, GetParam().callsToSkip, 1);
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_EQ(onDrive("Games/A"), !GetParam().filesGone);
    EXPECT_EQ(keyExists(kRecord), !GetParam().recordGone);
    EXPECT_TRUE(keyExists(kEntry));
    EXPECT_EQ(infoLines().size(), 1u);
    EXPECT_EQ(linesAt(2).size(), 1u);  // the failure's own report
    palClearFaults();
    EXPECT_TRUE(application("A")->uninstall(nullptr));  // a later call finishes the work
    EXPECT_FALSE(recordIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, UninstallFailure,
    testing::Values(FailedStep{"PerformOperations", static_cast<LONG>(0x80070005), 0, false, false},
                    FailedStep{"CoCreateInstance", static_cast<LONG>(0x80004005), 0, false, false},
                    FailedStep{"RegDeleteKeyW", ERROR_ACCESS_DENIED, 0, true, false},
                    FailedStep{"RegDeleteKeyW", ERROR_ACCESS_DENIED, 1, true, true}));
#endif

// Recorded folders that would take more than the game with them are refused before anything is
// deleted.
class RefusedFolder : public Uninstall, public testing::WithParamInterface<const char*> {};

TEST_P(RefusedFolder, NothingIsDeleted) {
    installGame("C:\\Games\\A", "C:\\Games\\A");
    makeFile("Games/B/game.exe");
    ASSERT_TRUE(registerGame("B", "C:\\Games\\B", "C:\\Games\\B"));
    setPath("InstallPath", GetParam());
    clearLoggedLines();
    EXPECT_FALSE(application("A")->uninstall(nullptr));
    EXPECT_TRUE(onDrive("Games/A/bin/game.exe"));
    EXPECT_TRUE(onDrive("Games/B/game.exe"));
    EXPECT_TRUE(onDrive("Client/content/userdata/A/save.dat"));
    EXPECT_TRUE(recordIntact());
    EXPECT_EQ(infoLines().size(), 1u);
    EXPECT_EQ(linesAt(2).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Folders, RefusedFolder,
                         testing::Values("Games\\A", "C:", "C:\\", "C:/", "/", "C:\\Games\\..",
                                         "\\\\server\\share", "\\\\server\\share\\", "C:\\Client",
                                         "c:\\client\\", "C:\\Client\\content", "C:\\Games",
                                         "C:\\games\\", "C:\\Games\\B"));

}  // namespace
}  // namespace OrvaneTest
