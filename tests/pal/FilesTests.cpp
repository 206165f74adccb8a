// Drive mapping, attributes, short names and the current directory of the PAL's file functions.
#include "tests/pal/ShellTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

using namespace OrvaneTest;

namespace {

class FilesTest : public ::testing::Test {
protected:
    TTempTree tree;
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
    TScopedEnvironment driveZ{"ORVANE_PAL_DRIVE_Z", std::nullopt};

    // The last error of GetFileAttributesExW, or 0 when it succeeds.
    static DWORD attributesError(const std::u16string& path,
                                 WIN32_FILE_ATTRIBUTE_DATA* data = nullptr) {
        WIN32_FILE_ATTRIBUTE_DATA ignored;
        SetLastError(0);
        const BOOL found =
            GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, data ? data : &ignored);
        return found ? 0 : GetLastError();
    }

    static std::u16string longPath(const std::u16string& path, DWORD& error) {
        SetLastError(0);
        const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
        error = GetLastError();
        if (size == 0) {
            return {};
        }
        std::u16string result(size, u'\0');
        EXPECT_EQ(size - 1, GetLongPathNameW(path.c_str(), result.data(), size));
        result.resize(size - 1);
        return result;
    }

    static std::u16string currentDirectory() {
        const DWORD size = GetCurrentDirectoryW(0, nullptr);
        std::u16string result(size, u'\0');
        EXPECT_EQ(size - 1, GetCurrentDirectoryW(size, result.data()));
        result.resize(size - 1);
        return result;
    }
};

TEST_F(FilesTest, WindowsPathsMapOntoTheDriveFolders) {
    tree.file("dir/file.txt");
    const std::string posix = tree.path("dir/file.txt").string();
    const struct {
        std::u16string path;
        DWORD error;
    } cases[] = {
        {u"C:\\dir\\file.txt", 0},
        {u"c:/dir//file.txt", 0},
        {u"\\\\?\\C:\\dir\\file.txt", 0},
        {u"C:\\dir\\missing\\..\\file.txt", 0},
        {u"C:\\..\\..\\..\\dir\\file.txt", 0},  // ".." stops at the drive's folder
        {wide(posix), 0},
        {u"Z:" + wide(posix), 0},
        {u"C:\\dir\\nothing.txt", ERROR_FILE_NOT_FOUND},
        {u"C:\\nowhere\\nothing.txt", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\file.txt\\below", ERROR_PATH_NOT_FOUND},
        {u"Q:\\dir\\file.txt", ERROR_PATH_NOT_FOUND},
        {u"\\\\server\\share\\file.txt", ERROR_BAD_NETPATH},
        {u"\\\\?\\UNC\\server\\share\\file.txt", ERROR_BAD_NETPATH},
        {u"", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\\xD800.txt", ERROR_INVALID_NAME},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(narrow(example.path));
        EXPECT_EQ(example.error, attributesError(example.path));
    }
}

TEST_F(FilesTest, RelativePathsFollowTheCurrentDirectory) {
    tree.file("dir/file.txt");
    tree.file("other.txt");
    TScopedDirectory inside(tree.path("dir"));
    EXPECT_EQ(0u, attributesError(u"file.txt"));
    EXPECT_EQ(0u, attributesError(u"C:file.txt"));  // drive-relative: the current folder on C:
    EXPECT_EQ(0u, attributesError(u"..\\..\\..\\other.txt"));
}

TEST_F(FilesTest, AttributesDescribeTheObjectItselfWithoutFollowingLinks) {
    tree.file("plain.bin", std::string(5000, 'x'));
    tree.file("locked.txt");
    std::filesystem::permissions(tree.path("locked.txt"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    tree.folder("sub");
    std::filesystem::create_directory_symlink(tree.path("sub"), tree.path("folderLink"));
    std::filesystem::create_symlink(tree.path("missing"), tree.path("danglingLink"));
    const struct {
        std::u16string path;
        DWORD attributes;
        DWORD size;
    } cases[] = {
        {u"C:\\plain.bin", FILE_ATTRIBUTE_NORMAL, 5000},
        {u"C:\\locked.txt", FILE_ATTRIBUTE_READONLY, 4},
        {u"C:\\sub", FILE_ATTRIBUTE_DIRECTORY, 0},
        {u"C:\\folderLink", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, 0},
        {u"C:\\danglingLink", FILE_ATTRIBUTE_REPARSE_POINT, 0},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(narrow(example.path));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_EQ(0u, attributesError(example.path, &data));
        EXPECT_EQ(example.attributes, data.dwFileAttributes);
        EXPECT_EQ(example.size, data.nFileSizeLow);
        EXPECT_EQ(0u, data.nFileSizeHigh);
    }
}

TEST_F(FilesTest, WriteTimeCountsHundredNanosecondsSince1601) {
    tree.file("dated.txt");
    const timespec times[2] = {{946684800, 0}, {946684800, 500}};  // 2000-01-01 00:00:00 UTC
    ASSERT_EQ(0, utimensat(AT_FDCWD, tree.path("dated.txt").c_str(), times, 0));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_EQ(0u, attributesError(u"C:\\dated.txt", &data));
    const uint64_t ticks =
        uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(125911584000000005ull, ticks);
}

TEST_F(FilesTest, ShortNamesExpandToTheNthMatchingEntryInSortedOrder) {
    for (const char* name : {"Program Files", "Program Files (x86)", "ProgramData", "SAVEGA~1"}) {
        tree.folder(name);
    }
    tree.file("Program Files (x86)/Game/Readme First.txt");
    tree.file("Program Files (x86)/Game/readme.md");
    const struct {
        std::u16string path;
        std::u16string expanded;
        DWORD error;
    } cases[] = {
        {u"C:\\PROGRA~1", u"C:\\Program Files", 0},
        {u"c:/progra~2/Game/", u"c:/Program Files (x86)/Game/", 0},
        {u"\\\\?\\C:\\PROGRA~3", u"\\\\?\\C:\\ProgramData", 0},
        {u"C:\\SAVEGA~1", u"C:\\SAVEGA~1", 0},  // an entry of that very name is kept
        {u"C:\\PROGRA~2\\Game\\README~1.TXT", u"C:\\Program Files (x86)\\Game\\Readme First.txt",
         0},
        {u"C:\\PROGRA~2\\Game\\README~1.MD", u"C:\\Program Files (x86)\\Game\\readme.md", 0},
        {u"C:\\PROGRA~5", u"", ERROR_FILE_NOT_FOUND},
        {u"C:\\PROGRA~5\\Game", u"", ERROR_FILE_NOT_FOUND},
        {u"C:\\Program Files\\missing.txt", u"", ERROR_FILE_NOT_FOUND},
        {u"Q:\\PROGRA~1", u"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(narrow(example.path));
        DWORD error = 0;
        EXPECT_EQ(example.expanded, longPath(example.path, error));
        EXPECT_EQ(example.error, error);
    }
}

TEST_F(FilesTest, TooSmallBuffersAreLeftAloneAndTheNeededSizeReturned) {
    tree.folder("Program Files");
    const std::u16string expanded = u"C:\\Program Files";
    std::vector<WCHAR> buffer(expanded.size(), u'#');
    EXPECT_EQ(expanded.size() + 1,
              GetLongPathNameW(u"C:\\PROGRA~1", buffer.data(), DWORD(buffer.size())));
    EXPECT_EQ(u'#', buffer[0]);

    TScopedDirectory inside(tree.path("Program Files"));
    EXPECT_EQ(expanded, currentDirectory());
    EXPECT_EQ(expanded.size() + 1, GetCurrentDirectoryW(DWORD(buffer.size()), buffer.data()));
    EXPECT_EQ(u'#', buffer[0]);
}

TEST_F(FilesTest, CurrentDirectoryIsNamedUnderTheDeepestDriveAndMapsBack) {
    tree.folder("games/one");
    TScopedEnvironment driveD("ORVANE_PAL_DRIVE_D", tree.path("games").string() + "/");
    {
        TScopedDirectory inside(tree.root());
        EXPECT_EQ(u"C:\\", currentDirectory());
    }
    TScopedDirectory inside(tree.path("games/one"));
    EXPECT_EQ(u"D:\\one", currentDirectory());
    {
        TScopedEnvironment noDrives("ORVANE_PAL_DRIVE_D", std::nullopt);
        TScopedEnvironment noC("ORVANE_PAL_DRIVE_C", std::nullopt);
        std::string expected = "Z:" + std::filesystem::current_path().string();
        std::replace(expected.begin(), expected.end(), '/', '\\');
        EXPECT_EQ(wide(expected), currentDirectory());
        TScopedEnvironment elsewhere("ORVANE_PAL_DRIVE_Z", tree.path("games").string() + "/none");
        const std::u16string posixForm = currentDirectory();
        EXPECT_EQ(u'\\', posixForm[0]);
        tree.file("games/one/mark.txt");
        EXPECT_EQ(0u, attributesError(posixForm + u"\\mark.txt"));
    }
}

}  // namespace
