#include "Common/General/PathText.h"

#include <gtest/gtest.h>

#include <tuple>

using OrvaneLib::TString;

namespace {

using TextCase = std::tuple<const char*, const char*>;
using JoinCase = std::tuple<const char*, const char*, const char*>;

class JoinPath : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinPath, Joins) {
    auto [base, relative, expected] = GetParam();
    EXPECT_STREQ(OrvaneLib::joinPath(TString(base), TString(relative)).c_str(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, JoinPath,
    testing::Values(JoinCase{"C:\\Games", "x", "C:\\Games\\x"},
                    JoinCase{"C:\\Games\\", "\\x", "C:\\Games\\x"},
                    JoinCase{"C:\\a", "/x", "C:\\a\\x"}, JoinCase{"dir", "x", "dir/x"},
                    JoinCase{"a/b", "c", "a/b/c"}, JoinCase{"a/b/", "/c", "a/b/c"},
                    JoinCase{"C:\\a", "D:\\b", "D:\\b"}, JoinCase{"C:\\a", "D:/b", "D:/b"},
                    JoinCase{"C:\\a", "\\\\server\\share", "\\\\server\\share"},
                    JoinCase{"C:\\a", "C:", "C:\\a\\C:"},
                    JoinCase{"C:\\a", "/x\\y", "C:\\a\\/x\\y"},  // the first backslash comes later
                    JoinCase{"C:\\a\\", "", "C:\\a\\"}, JoinCase{"", "x/", "x/"},
                    JoinCase{"", "\\x", "\\x"}));

class GetDirectory : public testing::TestWithParam<TextCase> {};

TEST_P(GetDirectory, CutsAtTheLastSeparator) {
    auto [path, expected] = GetParam();
    TString directory = OrvaneLib::getDirectory(TString(path));
    EXPECT_STREQ(directory.c_str(), expected);
    EXPECT_TRUE(directory.hasBlock());
}

INSTANTIATE_TEST_SUITE_P(Table, GetDirectory,
                         testing::Values(TextCase{"C:\\Games\\x.exe", "C:\\Games"},
                                         TextCase{"C:\\x.exe", "C:\\"}, TextCase{"C:\\", ""},
                                         TextCase{"x.exe", ""}, TextCase{"a/b\\c", "a/b"},
                                         TextCase{"\\\\", ""}, TextCase{"\\x", ""},
                                         TextCase{"/x", ""}, TextCase{"\\\\server", ""},
                                         TextCase{"C:/Games/", "C:/Games"}, TextCase{"", ""}));

class GetFileName : public testing::TestWithParam<TextCase> {};

TEST_P(GetFileName, TakesWhatFollowsTheDirectory) {
    auto [path, expected] = GetParam();
    EXPECT_STREQ(OrvaneLib::getFileName(TString(path)).c_str(), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, GetFileName,
                         testing::Values(TextCase{"C:\\Games\\x.exe", "x.exe"},
                                         TextCase{"x.exe", "x.exe"}, TextCase{"C:\\", "C:\\"},
                                         TextCase{"C:\\x", "x"}, TextCase{"C:\\Games\\", ""},
                                         TextCase{"/x", "/x"}, TextCase{"a/b\\c", "c"}));

class IsShortPathName : public testing::TestWithParam<std::tuple<const char*, bool>> {};

TEST_P(IsShortPathName, RecognisesAliases) {
    EXPECT_EQ(OrvaneLib::isShortPathName(TString(std::get<0>(GetParam()))),
              std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsShortPathName,
    testing::Values(std::make_tuple("C:\\PROGRA~1\\Game\\a.exe", true),
                    std::make_tuple("C:\\Games\\LONGNA~2.TXT", true),
                    std::make_tuple("C:\\Games\\LONGNA~2", true),
                    std::make_tuple("C:\\PROGRA~4", true),  // the directory part is C:\ only
                    std::make_tuple("C:/PROGRA~1/x", true),
                    std::make_tuple("C:\\Games\\a~1b\\x", false),
                    std::make_tuple("C:\\Games\\ABCDEF~5.TXT", false),
                    std::make_tuple("C:\\Games\\LONGNA~2.TEXT", false),
                    std::make_tuple("C:\\Games\\LONGNAM~2.TXT", false),
                    std::make_tuple("C:\\Games\\x", false), std::make_tuple("~", false)));

}  // namespace
