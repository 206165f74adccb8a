#include "platform/Paths.h"

#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using OrvaneLib::TString;

namespace {

std::string normalized(const std::string& path) {
    TString text(path.c_str());
    OrvaneLib::normalizePath(text);
    return text.c_str();
}

using Text = std::tuple<const char*, const char*>;
class NormalizePath : public testing::TestWithParam<Text> {};

TEST_P(NormalizePath, GivesTheCanonicalForm) {
    EXPECT_EQ(normalized(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizePath,
    testing::Values(Text{"", ""}, Text{"C:", "C:"}, Text{"C:\\", "C:/"},
                    Text{"\\\\?\\C:\\Games\\A\\..\\B\\.\\c.exe", "C:/Games/B/c.exe"},
                    Text{"C:\\x\\..\\..\\y", "C:/y"}, Text{"..\\a\\..\\..\\b", "../../b"},
                    Text{"C:\\Games\\", "C:/Games/"}, Text{"C:\\Games\\..\\..\\..\\x", "C:/x"},
                    Text{"a\\b\\\\c\\.\\d", "a/b/c/d"}, Text{"../x/../..", "../.."},
                    Text{"a/..", ""}, Text{"\\x\\..\\..", "/"}, Text{"C:..\\x", "C:../x"},
                    Text{"\\\\server\\share\\..\\..\\x", "\\\\server/x"},
                    Text{"\\\\.\\C:\\x\\..", "\\\\.\\C:/"}, Text{"\\\\server", "\\\\server/"},
                    // The first long-path prefix goes, wherever it is.
                    Text{"\\\\?\\UNC\\server\\share", "UNC/server/share"},
                    Text{"\\\\?\\C:\\a\\\\?\\b", "C:/a/?/b"}, Text{"C:\\a\\\\?\\b", "C:/ab"}));

// Path, root (what ".." never removes), whether absolute.
using Root = std::tuple<const char*, const char*, bool>;
class PathRoot : public testing::TestWithParam<Root> {};

TEST_P(PathRoot, IsWhatDotDotNeverRemoves) {
    auto [path, root, absolute] = GetParam();
    EXPECT_STREQ(OrvaneLib::getPathRoot(TString(path)).c_str(), root);
    EXPECT_EQ(OrvaneLib::isAbsolutePath(TString(path)), absolute);
}

INSTANTIATE_TEST_SUITE_P(Table, PathRoot,
                         testing::Values(Root{"C:\\Games\\x", "C:/", true},
                                         Root{"C:/x", "C:/", true}, Root{"C:x", "C:", false},
                                         Root{"C:", "C:", false}, Root{"\\x", "/", true},
                                         Root{"/", "/", true}, Root{"x\\y", "", false},
                                         Root{"", "", false},
                                         Root{"\\\\server\\share\\x", "\\\\server/", true},
                                         Root{"\\\\.\\C:\\x", "\\\\.\\C:/", true},
                                         Root{"\\\\", "", true}, Root{"\\\\.\\", "", true}));

// A temporary folder holding "Program Files". On the PAL it is drive C: and the alias of
// "Program Files" is PROGRA~1; on Windows the folder's own path stands for C: and the system names
// the alias.
class PathsOnDrive : public testing::Test {
protected:
    // The path with its leading "C:" on the test's drive.
    std::string on(const std::string& path) const { return OrvaneTest::onDrive(path, drive_); }
    // The canonical form of such a path: "/" separates.
    std::string canonical(const std::string& path) const {
        std::string text = on(path);
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    }

    void SetUp() override {
        tree.folder("Program Files/Game");
#ifdef _WIN32
        drive_ = OrvaneTest::utf8(tree.root());
        wchar_t alias[MAX_PATH];
        const DWORD length = GetShortPathNameW(tree.path("Program Files").c_str(), alias, MAX_PATH);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        alias_ = OrvaneTest::utf8(std::filesystem::path(alias).filename());
#endif
    }

    OrvaneTest::TTempTree tree;
    std::string drive_ = "C:";
    std::string alias_ = "PROGRA~1";
#ifndef _WIN32
    OrvaneTest::TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
#endif
};

TEST_F(PathsOnDrive, NormalizeExpandsShortNamesDuringTheWalk) {
    EXPECT_EQ(normalized(on("C:\\NOSUCH~1\\x")), canonical("C:/NOSUCH~1/x"));  // kept as written
    if (OrvaneTest::runningUnderWine()) {
        GTEST_SKIP() << "Wine's 8.3 aliases (" << alias_ << ") do not end in ~ and a digit";
    }
    for (auto [path, expected] :
         {std::pair{"\\x\\..\\y", "C:/Program Files/y"},
          std::pair{"\\Game\\..\\x", "C:/Program Files/x"},  // ".." cuts after the long name
          std::pair{"\\..\\y", "C:/y"}, std::pair{"\\Game", "C:/Program Files/Game"}}) {
        EXPECT_EQ(normalized(on("C:\\" + alias_ + path)), canonical(expected)) << path;
    }
    EXPECT_EQ(normalized("\\\\?\\" + on("C:\\" + alias_ + "\\Game")),
              canonical("C:/Program Files/Game"));
}

TEST_F(PathsOnDrive, PathExistsForFilesAndFoldersOnly) {
    tree.file("Program Files/Game/game.exe");
    for (auto [path, exists] :
         {std::pair{"C:\\Program Files\\Game\\game.exe", true},
          std::pair{"C:/Program Files/Game/", true}, std::pair{"C:\\Program Files\\none", false},
          std::pair{"", false}}) {
        EXPECT_EQ(OrvaneLib::pathExists(TString(on(path).c_str())), exists) << path;
    }
    EXPECT_FALSE(OrvaneLib::pathExists(TString()));
}

TEST_F(PathsOnDrive, CurrentDirectoryComesBackAsUtf8) {
    OrvaneTest::TScopedDirectory inside(tree.folder("Jeux \xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(OrvaneLib::getCurrentDirectory().c_str(), on("C:\\Jeux \xC3\xA9t\xC3\xA9"));
}

}  // namespace
