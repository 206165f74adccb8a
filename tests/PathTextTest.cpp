#include "Common/General/PathText.h"

#include <gtest/gtest.h>

#include <tuple>

namespace OrvaneLib {
namespace {

TEST(PathText, JoinDirectoryAndFileName) {
    using Case = std::tuple<const char*, const char*, const char*>;
    for (auto [base, relative, expected] :
         {Case{"C:\\Games", "x", "C:\\Games\\x"}, Case{"C:\\Games\\", "\\x", "C:\\Games\\x"},
          Case{"C:\\a", "/x", "C:\\a\\x"}, Case{"dir", "x", "dir/x"}, Case{"a/b/", "/c", "a/b/c"},
          Case{"C:\\a", "D:\\b", "D:\\b"}, Case{"C:\\a", "D:/b", "D:/b"},
          Case{"C:\\a", "\\\\server\\share", "\\\\server\\share"}, Case{"C:\\a", "C:", "C:\\a\\C:"},
          Case{"C:\\a", "/x\\y", "C:\\a\\/x\\y"},  // the first backslash comes later
          Case{"C:\\a\\", "", "C:\\a\\"}, Case{"", "\\x", "\\x"}}) {
        EXPECT_STREQ(joinPath(TString(base), TString(relative)).c_str(), expected) << relative;
    }
    // path, directory, file name
    using Case = std::tuple<const char*, const char*, const char*>;
    for (auto [path, directory, fileName] :
         {Case{"C:\\Games\\x.exe", "C:\\Games", "x.exe"}, Case{"C:\\x.exe", "C:\\", "x.exe"},
          Case{"C:\\", "", "C:\\"}, Case{"x.exe", "", "x.exe"}, Case{"a/b\\c", "a/b", "c"},
          Case{"\\\\", "", "\\\\"}, Case{"/x", "", "/x"}, Case{"\\\\server", "", "\\\\server"},
          Case{"C:/Games/", "C:/Games", ""}, Case{"", "", ""}}) {
        TString found = getDirectory(TString(path));
        EXPECT_STREQ(found.c_str(), directory) << path;
        EXPECT_TRUE(found.hasBlock()) << path;
        EXPECT_STREQ(getFileName(TString(path)).c_str(), fileName) << path;
    }
}

TEST(PathText, IsShortPathName) {
    for (auto [path, isShort] :
         {std::pair{"C:\\PROGRA~1\\Game\\a.exe", true}, std::pair{"C:\\Games\\LONGNA~2.TXT", true},
          std::pair{"C:\\Games\\LONGNA~2", true},
          std::pair{"C:\\PROGRA~4", true},  // the directory part is C:\ only
          std::pair{"C:/PROGRA~1/x", true}, std::pair{"C:\\Games\\a~1b\\x", false},
          std::pair{"C:\\Games\\ABCDEF~5.TXT", false}, std::pair{"C:\\Games\\LONGNA~2.TEXT", false},
          std::pair{"C:\\Games\\LONGNAM~2.TXT", false}, std::pair{"~", false}}) {
        EXPECT_EQ(isShortPathName(TString(path)), isShort) << path;
    }
}

}  // namespace
}  // namespace OrvaneLib
