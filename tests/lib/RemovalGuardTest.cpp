// Records that name someone else's folders, however they spell them: the removal of game A must
// refuse them all before anything is deleted, and must still remove A's own folder. Every
// protected place holds a canary file, and every row ends with all canaries in place.
#include "lib/LibraryFixture.h"

#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace OrvaneTest {
namespace {

// What a row prepares beyond the common tree.
enum class TSetup {
    none,
    aliasLinks,      // C:\Alias -> C:\Games, C:\ClientAlias -> C:\Client
    gameIsLink,      // C:\Games\A is a link to C:\Games\Other
    linkInsideGame,  // C:\Games\A\other links to C:\Games\Other
    deepFolder,      // C:\Games\Deep holds A's files more than 4,096 bytes of path down
};

struct TRow {
    const char* installPath;  // {C}: drive C:, {D}: a second drive on the same folder, {H}: host
    const char* refusal;      // a part of the reason, or null when the removal goes ahead
    TSetup setup = TSetup::none;
    const char* palOnly = nullptr;  // why the row can not run on Windows, or null
};

void PrintTo(const TRow& row, std::ostream* out) {
    *out << '"' << row.installPath << '"';
}

const char* const kCanaries[] = {
    "Client/Orvane.exe",     "Client/bin/client.dll",         "Client/content/userdata/B/save.dat",
    "Games/Other/other.exe", "Games/Other/data/level.pak",    "DLC/OtherPack/pack.dat",
    "Users/me/notes.txt",    "Windows/System32/kernel32.dll",
};

class RemovalGuard : public LibraryTest, public testing::WithParamInterface<TRow> {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        for (const char* canary : kCanaries) {
            tree_.file(canary);
        }
        for (const char* file :
             {"Games/A/game.exe", "Games/OtherA/game.exe", "Client/content/userdata/A/save.dat"}) {
            tree_.file(file);
        }
        writeRaw("Software\\Orvane\\Client\\", "", on("{C}\\Client"));
        ASSERT_TRUE(application("B")->registerApplication(
            on("{C}\\Games\\Other").c_str(), on("{C}\\Games\\Other").c_str(), "B", "1", "i"));
        std::unique_ptr<OrvaneLib::ulIPackage> package(application("B")->createPackage("pack"));
        ASSERT_TRUE(package->registerPackage(on("{C}\\DLC\\OtherPack").c_str(), "1"));
        // Read before B: its missing folders must hide none of B's.
        ASSERT_TRUE(application("Aa")->registerApplication(on("{C}\\Games\\Gone\\Aa").c_str(),
                                                           on("{C}\\Games\\Gone\\Aa").c_str(), "Aa",
                                                           "1", "i"));
        ASSERT_TRUE(application("A")->registerApplication(
            on("{C}\\Games\\A").c_str(), on("{C}\\Games\\A").c_str(), "A", "1", "i"));
    }
    void TearDown() override {
#ifndef _WIN32
        // Deeper than std::filesystem reaches; rm walks relative to open folders.
        if (GetParam().setup == TSetup::deepFolder) {
            EXPECT_EQ(0, system(("rm -rf '" + tree_.path("Games/Deep").string() + "'").c_str()));
        }
#endif
        LibraryTest::TearDown();
    }

    // The row's text with its placeholders filled in.
    std::string on(std::string path) const {
        const std::pair<std::string, std::string> placeholders[] = {
#ifdef _WIN32
            {"{C}", utf8(tree_.root())},
#else
            {"{C}", "C:"},
            {"{D}", "D:"},
            {"{H}", tree_.root().string()},
#endif
        };
        for (const auto& [name, value] : placeholders) {
            for (size_t at = path.find(name); at != std::string::npos; at = path.find(name)) {
                path.replace(at, name.size(), value);
            }
        }
        return path;
    }
    bool exists(const std::string& relative) const {
        return std::filesystem::exists(std::filesystem::symlink_status(tree_.path(relative)));
    }
    // False (the row is skipped) when this system can not make the row's links.
    bool prepare(TSetup setup) {
        std::error_code error;
        switch (setup) {
            case TSetup::none:
                break;
            case TSetup::aliasLinks:
                std::filesystem::create_directory_symlink(tree_.path("Games"), tree_.path("Alias"),
                                                          error);
                if (!error) {
                    std::filesystem::create_directory_symlink(tree_.path("Client"),
                                                              tree_.path("ClientAlias"), error);
                }
                break;
            case TSetup::gameIsLink:
                std::filesystem::remove_all(tree_.path("Games/A"));
                std::filesystem::create_directory_symlink(tree_.path("Games/Other"),
                                                          tree_.path("Games/A"), error);
                break;
            case TSetup::linkInsideGame:
                std::filesystem::create_directory_symlink(tree_.path("Games/Other"),
                                                          tree_.path("Games/A/other"), error);
                break;
            case TSetup::deepFolder:
                makeDeepFolder();
                break;
        }
        return !error;
    }
    std::string refusalReason() const {
        for (const LogLine& line : loggedLines()) {
            if (line.text.find("Refused to delete") != std::string::npos) {
                return line.text;
            }
        }
        return std::string();
    }

    // C:\Games\Deep\dddd...\dddd... with a file at the bottom, made one level at a time.
    std::string deepPath_;
    void makeDeepFolder() {
#ifndef _WIN32
        const std::string level(200, 'd');
        deepPath_ = "{C}\\Games\\Deep";
        int folder = open(tree_.folder("Games/Deep").c_str(), O_DIRECTORY | O_RDONLY);
        for (int depth = 0; depth < 22; ++depth) {
            ASSERT_EQ(0, mkdirat(folder, level.c_str(), 0755));
            const int next = openat(folder, level.c_str(), O_DIRECTORY | O_RDONLY);
            close(folder);
            folder = next;
            deepPath_ += "\\" + level;
        }
        close(openat(folder, "game.exe", O_CREAT | O_WRONLY, 0644));
        close(folder);
#endif
    }

    TTempTree tree_;
#ifndef _WIN32
    TScopedEnvironment driveC_{"ORVANE_PAL_DRIVE_C", tree_.root().string()};
    TScopedEnvironment driveD_{"ORVANE_PAL_DRIVE_D", tree_.root().string() + "/./"};
#endif
    TScopedEnvironment profile_{"USERPROFILE", on("{C}\\Users\\me")};
    TScopedEnvironment system_{"SystemRoot", on("{C}\\Windows")};
};

TEST_P(RemovalGuard, RefusesWhatIsNotTheGamesOwnAndRemovesWhatIs) {
    const TRow& row = GetParam();
#ifdef _WIN32
    if (row.palOnly != nullptr) {
        GTEST_SKIP() << row.palOnly;
    }
#endif
    if (!prepare(row.setup)) {
        GTEST_SKIP() << "this system does not make symbolic links to folders here";
    }
    const std::string installPath =
        on(row.setup == TSetup::deepFolder ? deepPath_ : std::string(row.installPath));
    writeRaw(recordKey("A"), "Path", installPath);
    writeRaw(recordKey("A"), "InstallPath", installPath);
    clearLoggedLines();

    const bool removed = application("A")->uninstall(nullptr);

    for (const char* canary : kCanaries) {
        EXPECT_TRUE(exists(canary)) << canary << " was deleted for " << installPath;
    }
    const std::string reason = refusalReason();
    if (row.refusal != nullptr) {
        EXPECT_FALSE(removed);
        EXPECT_NE(std::string::npos, reason.find(row.refusal)) << "reason: " << reason;
        EXPECT_TRUE(keyExists(recordKey("A")) && keyExists(entryKey("A")));
        EXPECT_TRUE(exists("Client/content/userdata/A/save.dat"));
        return;
    }
    EXPECT_EQ("", reason);
    if (fileOperationIsStub()) {
        GTEST_SKIP() << kStubShellReason;
    }
    EXPECT_TRUE(removed);
    EXPECT_FALSE(keyExists(recordKey("A")));
    EXPECT_FALSE(exists("Client/content/userdata/A"));
}

constexpr const char* kNoDriveAlias =
    "a second drive letter for one folder is made by the PAL only";
constexpr const char* kNoHostPath = "host paths exist on the PAL only";

INSTANTIATE_TEST_SUITE_P(
    Rows, RemovalGuard,
    testing::Values(
        // The client's own files and what holds them.
        TRow{"{C}\\Client\\bin", "lies inside the client's directory"},
        TRow{"{C}\\client\\BIN\\", "lies inside the client's directory"},
        TRow{"{C}\\ClientAlias\\bin", "lies inside the client's directory", TSetup::aliasLinks},
        TRow{"{C}\\Client\\content\\userdata", "is the folder of every game's user data"},
        // Another game's folders: its user data, its folder and what lies in it, its packages.
        TRow{"{C}\\Client\\content\\userdata\\B", "is another game's user data"},
        TRow{"{C}\\Games\\Other\\data", "lies inside another game's folder"},
        TRow{"{C}\\DLC", "holds a package folder of another game"},
        TRow{"{C}\\DLC\\OtherPack\\..\\OtherPack", "is a package folder of another game"},
        TRow{"{C}\\Games", "holds another game's folder"},
        // The same folder of another game, spelled otherwise.
        TRow{"{C}\\Games\\Other.", "is another game's folder"},
        TRow{"{C}\\Games\\Other. .\\", "is another game's folder"},
        TRow{"{C}/Games//Other/", "is another game's folder"},
        TRow{"{C}\\GAMES\\other", "is another game's folder"},
        TRow{"{C}\\Games\\.\\A\\..\\Other", "is another game's folder"},
        TRow{"\\\\?\\{C}\\Games\\Other", "is another game's folder"},
        TRow{"\\\\.\\{C}\\Games\\Other", "is another game's folder"},
        TRow{"{C}\\GAMES~1\\Other", "is another game's folder", TSetup::none,
             "the system may give other 8.3 aliases than the PAL's"},
        TRow{"{C}\\Alias\\Other", "is another game's folder", TSetup::aliasLinks},
        TRow{"{C}\\Alias\\Other\\data", "lies inside another game's folder", TSetup::aliasLinks},
        TRow{"{C}\\Games\\A", "is another game's folder", TSetup::gameIsLink},
        TRow{"{D}\\Games\\Other", "is another game's folder", TSetup::none, kNoDriveAlias},
        TRow{"{D}\\Games\\Other\\data", "lies inside another game's folder", TSetup::none,
             kNoDriveAlias},
        TRow{"{H}/Games/Other", "is another game's folder", TSetup::none, kNoHostPath},
        TRow{"{H}", "the root of a volume", TSetup::none, kNoHostPath},
        // The user's profile and the system's folders.
        TRow{"{C}\\Users\\me", "is the folder of %USERPROFILE%"},
        TRow{"{C}\\Users", "holds the folder of %USERPROFILE%"},
        TRow{"{C}\\Windows\\System32", "lies inside the folder of %SystemRoot%"},
        // A folder the guard can not read the identity of.
        TRow{"", "what it is can not be told", TSetup::deepFolder,
             "Windows reaches a folder this deep"},
        // The game's own folders are removed; links inside are removed as links.
        TRow{"{C}\\Games\\A", nullptr}, TRow{"{C}\\Games\\OtherA", nullptr},
        TRow{"{C}\\Games\\A", nullptr, TSetup::linkInsideGame}));

}  // namespace
}  // namespace OrvaneTest
