#include "platform/Paths.h"

#include "platform/Win32Api.h"
#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

using OrvaneLib::TString;
using OrvaneTest::TScopedDirectory;
using OrvaneTest::TScopedEnvironment;
using OrvaneTest::TTempTree;

namespace {

using TextCase = std::tuple<const char*, const char*>;

class NormalizePath : public testing::TestWithParam<TextCase> {};

TEST_P(NormalizePath, GivesTheCanonicalForm) {
    auto [path, expected] = GetParam();
    TString text(path);
    OrvaneLib::normalizePath(text);
    EXPECT_STREQ(text.c_str(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizePath,
    testing::Values(
        TextCase{"", ""}, TextCase{"C:", "C:"}, TextCase{"C:\\", "C:/"},
        TextCase{"\\\\?\\C:\\Games\\A\\..\\B\\.\\c.exe", "C:/Games/B/c.exe"},
        TextCase{"C:\\x\\..\\..\\y", "C:/y"}, TextCase{"..\\a\\..\\..\\b", "../../b"},
        TextCase{"C:\\Games\\", "C:/Games/"}, TextCase{"C:\\Games\\..\\..\\..\\x", "C:/x"},
        TextCase{"a\\b\\\\c\\.\\d", "a/b/c/d"}, TextCase{"../x/../..", "../.."},
        TextCase{"a/..", ""}, TextCase{"\\x\\..\\..", "/"}, TextCase{"C:..\\x", "C:../x"},
        TextCase{"\\\\server\\share\\..\\..\\x", "\\\\server/x"},
        TextCase{"\\\\.\\C:\\x\\..", "\\\\.\\C:/"}, TextCase{"\\\\server", "\\\\server/"}));

// Path, root, whether absolute.
using RootCase = std::tuple<const char*, const char*, bool>;

class PathRoot : public testing::TestWithParam<RootCase> {};

TEST_P(PathRoot, IsWhatDotDotNeverRemoves) {
    auto [path, root, absolute] = GetParam();
    EXPECT_STREQ(OrvaneLib::getPathRoot(TString(path)).c_str(), root);
    EXPECT_EQ(OrvaneLib::isAbsolutePath(TString(path)), absolute);
}

INSTANTIATE_TEST_SUITE_P(Table, PathRoot,
                         testing::Values(RootCase{"C:\\Games\\x", "C:/", true},
                                         RootCase{"C:/x", "C:/", true},
                                         RootCase{"C:x", "C:", false}, RootCase{"C:", "C:", false},
                                         RootCase{"\\x", "/", true}, RootCase{"/", "/", true},
                                         RootCase{"x\\y", "", false}, RootCase{"", "", false},
                                         RootCase{"\\\\server\\share\\x", "\\\\server/", true},
                                         RootCase{"\\\\.\\C:\\x", "\\\\.\\C:/", true},
                                         RootCase{"\\\\", "", true},
                                         RootCase{"\\\\.\\", "", true}));

class StripLongPathPrefix
    : public testing::TestWithParam<std::tuple<const char*, const char*, bool>> {};

TEST_P(StripLongPathPrefix, RemovesTheFirstPrefixAnywhere) {
    auto [path, expected, stripped] = GetParam();
    TString text(path);
    EXPECT_EQ(OrvaneLib::stripLongPathPrefix(text), stripped);
    EXPECT_STREQ(text.c_str(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StripLongPathPrefix,
    testing::Values(std::make_tuple("\\\\?\\UNC\\server\\share", "UNC\\server\\share", true),
                    std::make_tuple("\\\\?\\C:\\a\\\\?\\b", "C:\\a\\\\?\\b", true),
                    std::make_tuple("C:\\a\\\\?\\b", "C:\\ab", true),
                    std::make_tuple("\\\\.\\C:\\a", "\\\\.\\C:\\a", false),
                    std::make_tuple("", "", false)));

// A temporary folder holding "Program Files". On the PAL it is drive C: and the alias of
// "Program Files" is PROGRA~1; on Windows the folder's own path stands for C: and the system names
// the alias.
class PathsOnDrive : public testing::Test {
protected:
    void SetUp() override {
        tree.folder("Program Files/Game");
#ifdef _WIN32
        drive_ = tree.root().u8string();
        alias_ = shortName(tree.path("Program Files"));
#endif
    }

    // The path with its leading "C:" on the test's drive.
    std::string on(const std::string& path) const {
        return OrvaneTest::onDrive(path, drive_);
    }
    // The canonical form of such a path: "/" separates.
    std::string canonical(const std::string& path) const {
        std::string text = on(path);
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    }
    static std::string normalized(const std::string& path) {
        TString text(path.c_str());
        OrvaneLib::normalizePath(text);
        return text.c_str();
    }
    // "C:\" + the alias of "Program Files".
    std::string aliased() const {
        return "C:\\" + alias_;
    }

    TTempTree tree;
    std::string drive_ = "C:";
    std::string alias_ = "PROGRA~1";

private:
#ifdef _WIN32
    // The last part of the folder's 8.3 form, as the system names it.
    static std::string shortName(const std::filesystem::path& folder) {
        wchar_t buffer[MAX_PATH];
        const DWORD length = GetShortPathNameW(folder.c_str(), buffer, MAX_PATH);
        EXPECT_TRUE(length > 0 && length < MAX_PATH);
        return std::filesystem::path(buffer).filename().u8string();
    }
#else
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
#endif
};

TEST_F(PathsOnDrive, NormalizeExpandsShortNamesDuringTheWalk) {
    EXPECT_EQ(normalized(on("C:\\NOSUCH~1\\x")), canonical("C:/NOSUCH~1/x"));  // kept as written
    if (OrvaneTest::runningUnderWine()) {
        GTEST_SKIP() << "Wine's 8.3 aliases (" << alias_ << ") do not end in ~ and a digit";
    }
    for (auto [path, expected] : {
             std::pair{"\\x\\..\\y", "C:/Program Files/y"},
             std::pair{"\\Game\\..\\x", "C:/Program Files/x"},  // ".." cuts after the long name
             std::pair{"\\..\\y", "C:/y"},
         }) {
        EXPECT_EQ(normalized(on(aliased() + path)), canonical(expected)) << path;
    }
    EXPECT_EQ(normalized("\\\\?\\" + on(aliased() + "\\Game")), canonical("C:/Program Files/Game"));
}

TEST_F(PathsOnDrive, ExpandShortPathNameChangesThePathOnlyOnSuccess) {
    TString path(on(aliased() + "\\Game").c_str());
    EXPECT_TRUE(OrvaneLib::expandShortPathName(path));
    EXPECT_EQ(path.c_str(), on("C:\\Program Files\\Game"));

    path = on("C:\\PROGRA~2").c_str();
    EXPECT_FALSE(OrvaneLib::expandShortPathName(path));
    EXPECT_EQ(path.c_str(), on("C:\\PROGRA~2"));
}

TEST_F(PathsOnDrive, PathExistsForFilesAndFoldersOnly) {
    tree.file("Program Files/Game/game.exe");
    EXPECT_TRUE(OrvaneLib::pathExists(TString(on("C:\\Program Files\\Game\\game.exe").c_str())));
    EXPECT_TRUE(OrvaneLib::pathExists(TString(on("C:/Program Files/Game/").c_str())));
    EXPECT_FALSE(OrvaneLib::pathExists(TString(on("C:\\Program Files\\none").c_str())));
    EXPECT_FALSE(OrvaneLib::pathExists(TString("")));
    EXPECT_FALSE(OrvaneLib::pathExists(TString()));
}

TEST_F(PathsOnDrive, CurrentDirectoryComesBackAsUtf8) {
    tree.folder("Jeux \xC3\xA9t\xC3\xA9");
    TScopedDirectory inside(tree.path("Jeux \xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(OrvaneLib::getCurrentDirectory().c_str(), on("C:\\Jeux \xC3\xA9t\xC3\xA9"));
}

}  // namespace
