#include "platform/Paths.h"

#include "tests/pal/ShellTestSupport.h"

#include <gtest/gtest.h>

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

// Drive C: is a temporary folder holding "Program Files", whose 8.3 alias is PROGRA~1.
class PathsOnDrive : public testing::Test {
protected:
    void SetUp() override { tree.folder("Program Files/Game"); }

    TTempTree tree;
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
};

TEST_F(PathsOnDrive, NormalizeExpandsShortNamesDuringTheWalk) {
    for (auto [path, expected] : {
             TextCase{"C:\\PROGRA~1\\x\\..\\y", "C:/Program Files/y"},
             TextCase{"C:\\PROGRA~1\\Game\\..\\x",
                      "C:/Program Files/x"},  // ".." cuts after the long name
             TextCase{"\\\\?\\C:\\PROGRA~1\\Game", "C:/Program Files/Game"},
             TextCase{"C:\\PROGRA~1\\..\\y", "C:/y"},
             TextCase{"C:\\NOSUCH~1\\x", "C:/NOSUCH~1/x"},  // nothing there: kept as written
         }) {
        TString text(path);
        OrvaneLib::normalizePath(text);
        EXPECT_STREQ(text.c_str(), expected) << path;
    }
}

TEST_F(PathsOnDrive, ExpandShortPathNameChangesThePathOnlyOnSuccess) {
    TString path("C:\\PROGRA~1\\Game");
    EXPECT_TRUE(OrvaneLib::expandShortPathName(path));
    EXPECT_STREQ(path.c_str(), "C:\\Program Files\\Game");

    path = "C:\\PROGRA~2";
    EXPECT_FALSE(OrvaneLib::expandShortPathName(path));
    EXPECT_STREQ(path.c_str(), "C:\\PROGRA~2");
}

TEST_F(PathsOnDrive, PathExistsForFilesAndFoldersOnly) {
    tree.file("Program Files/Game/game.exe");
    EXPECT_TRUE(OrvaneLib::pathExists(TString("C:\\Program Files\\Game\\game.exe")));
    EXPECT_TRUE(OrvaneLib::pathExists(TString("C:/Program Files/Game/")));
    EXPECT_FALSE(OrvaneLib::pathExists(TString("C:\\Program Files\\none")));
    EXPECT_FALSE(OrvaneLib::pathExists(TString("")));
    EXPECT_FALSE(OrvaneLib::pathExists(TString()));
}

TEST_F(PathsOnDrive, CurrentDirectoryComesBackAsUtf8) {
    tree.folder("Jeux \xC3\xA9t\xC3\xA9");
    TScopedDirectory inside(tree.path("Jeux \xC3\xA9t\xC3\xA9"));
    EXPECT_STREQ(OrvaneLib::getCurrentDirectory().c_str(), "C:\\Jeux \xC3\xA9t\xC3\xA9");
}

}  // namespace
