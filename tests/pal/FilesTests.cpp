// Drive mapping and short names of the PAL's file functions.
#include "tests/pal/ShellTestSupport.h"

#include <string>

using namespace OrvaneTest;

namespace {

class FilesTest : public ::testing::Test {
protected:
    TTempTree tree;
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
    TScopedEnvironment driveZ{"ORVANE_PAL_DRIVE_Z", std::nullopt};

    // The last error of GetFileAttributesExW, or 0 when it succeeds.
    static DWORD attributesError(const std::u16string& path) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        SetLastError(0);
        return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? 0
                                                                                : GetLastError();
    }
    // The long form of the path, measured and then filled; empty and the last error if it fails.
    static std::u16string longPath(const std::u16string& path, DWORD& error) {
        SetLastError(0);
        const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
        error = GetLastError();
        std::u16string result(size, u'#');
        EXPECT_EQ(size > 0 ? size - 1 : 0, GetLongPathNameW(path.c_str(), result.data(), size));
        return result.substr(0, size > 0 ? size - 1 : 0);
    }
};

TEST_F(FilesTest, WindowsPathsMapOntoTheDriveFolders) {
    tree.file("dir/file.txt");
    tree.file("other.txt");
    std::filesystem::create_symlink(tree.path("missing"), tree.path("danglingLink"));
    TScopedDirectory inside(tree.path("dir"));
    const std::string posix = tree.path("dir/file.txt").string();
    const std::pair<std::u16string, DWORD> cases[] = {
        {u"C:\\dir\\file.txt", 0},
        {u"c:/dir//file.txt", 0},
        {u"\\\\?\\C:\\dir\\file.txt", 0},
        {u"C:\\dir\\missing\\..\\file.txt", 0},
        {u"C:\\..\\..\\..\\dir\\file.txt", 0},  // ".." stops at the drive's folder
        {wide(posix), 0},
        {u"Z:" + wide(posix), 0},
        {u"C:file.txt", 0},  // drive-relative: the current folder on C:
        {u"..\\..\\..\\other.txt", 0},
        {u"C:\\danglingLink", 0},               // the link itself, not what it names
        {u"C:\\dir.\\file.txt. .", 0},          // trailing dots and spaces are not part of a name
        {u"\\\\.\\c:/dir/../dir/file.txt", 0},  // the device path of drive C:
        {u"\\\\?\\C:\\dir.\\file.txt", ERROR_PATH_NOT_FOUND},  // verbatim: the dot stays
        {u"\\\\.\\PIPE\\dir", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\nothing.txt", ERROR_FILE_NOT_FOUND},
        {u"C:\\dir\\file.txt\\below", ERROR_PATH_NOT_FOUND},
        {u"Q:\\dir\\file.txt", ERROR_PATH_NOT_FOUND},
        {u"\\\\?\\UNC\\server\\share\\file.txt", ERROR_BAD_NETPATH},
        {u"", ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\\xD800.txt", ERROR_INVALID_NAME},
    };
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(error, attributesError(path)) << narrow(path);
    }
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
        {u"Q:\\PROGRA~1", u"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& example : cases) {
        DWORD error = 0;
        EXPECT_EQ(example.expanded, longPath(example.path, error)) << narrow(example.path);
        EXPECT_EQ(example.error, error) << narrow(example.path);
    }
    // A buffer too small is left alone; the size needed comes back.
    WCHAR buffer[16] = {u'#'};
    TScopedDirectory inside(tree.path("Program Files"));
    EXPECT_EQ(17u, GetLongPathNameW(u"C:\\PROGRA~1", buffer, 16));
    EXPECT_EQ(17u, GetCurrentDirectoryW(16, buffer));
    EXPECT_EQ(u'#', buffer[0]);
}

// A name on disk that is not UTF-8 reads as MultiByteToWideChar reads it: one U+FFFD for each
// malformed piece. That text names no file, so such a name can be listed but not opened.
TEST_F(FilesTest, NamesThatAreNotUtf8ReadWithOneReplacementPerMalformedPiece) {
    tree.folder("Saved\xE2\x82x");      // a sequence cut short
    tree.folder("Saved\xED\xA0\x80y");  // an encoded surrogate: lead and first byte, then one
    const std::u16string truncated = u"C:\\Saved\uFFFDx";
    DWORD error = 0;
    EXPECT_EQ(truncated, longPath(u"C:\\SAVED~1", error));
    EXPECT_EQ(u"C:\\Saved\uFFFD\uFFFDy", longPath(u"C:\\SAVED~2", error));
    TScopedDirectory inside(tree.path("Saved\xE2\x82x"));
    WCHAR buffer[32] = {};
    ASSERT_EQ(truncated.size(), GetCurrentDirectoryW(32, buffer));
    EXPECT_EQ(truncated, std::u16string(buffer));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, attributesError(truncated));
}

// Handles of CreateFileW tell what a path names, whatever its spelling.
class FileHandlesTest : public FilesTest {
protected:
    struct TOpened {
        DWORD error = 0;  // 0 when the open succeeded
        BY_HANDLE_FILE_INFORMATION information{};
        std::u16string finalPath;
    };

    static TOpened open(const std::u16string& path, DWORD flags = FILE_FLAG_BACKUP_SEMANTICS) {
        TOpened opened;
        HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, flags, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            opened.error = GetLastError();
            return opened;
        }
        EXPECT_TRUE(GetFileInformationByHandle(file, &opened.information));
        const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, 0);
        opened.finalPath.assign(size, u'#');
        EXPECT_EQ(size - 1, GetFinalPathNameByHandleW(file, opened.finalPath.data(), size, 0));
        opened.finalPath.resize(size - 1);
        EXPECT_TRUE(CloseHandle(file));
        return opened;
    }
    static bool sameObject(const TOpened& a, const TOpened& b) {
        return a.information.dwVolumeSerialNumber == b.information.dwVolumeSerialNumber &&
               a.information.nFileIndexHigh == b.information.nFileIndexHigh &&
               a.information.nFileIndexLow == b.information.nFileIndexLow;
    }
};

TEST_F(FileHandlesTest, EverySpellingOfAFolderOpensTheSameObjectWithOneFinalPath) {
    tree.folder("Games/Other/data");
    std::filesystem::create_directory_symlink(tree.path("Games"), tree.path("Alias"));
    TScopedEnvironment driveD{"ORVANE_PAL_DRIVE_D", tree.root().string() + "/"};
    TScopedEnvironment driveG{"ORVANE_PAL_DRIVE_G", tree.path("Games").string()};
    const TOpened reference = open(u"C:\\Games\\Other");
    ASSERT_EQ(0u, reference.error);
    EXPECT_EQ(u"\\\\?\\G:\\Other", reference.finalPath);  // the deepest drive that holds it
    const std::u16string spellings[] = {u"c:/Games/Other/",
                                        u"C:\\Games\\Other.",
                                        u"C:\\Games\\Other \\",
                                        u"C:\\Games\\.\\Other",
                                        u"C:\\Games\\Other\\data\\..",
                                        u"\\\\?\\C:\\Games\\Other",
                                        u"\\\\.\\C:\\Games\\Other",
                                        u"C:\\Alias\\Other",
                                        u"D:\\Games\\Other",
                                        u"G:\\Other",
                                        wide(tree.path("Games/Other"))};
    for (const std::u16string& spelling : spellings) {
        const TOpened opened = open(spelling);
        ASSERT_EQ(0u, opened.error) << narrow(spelling);
        EXPECT_TRUE(sameObject(reference, opened)) << narrow(spelling);
        EXPECT_EQ(reference.finalPath, opened.finalPath) << narrow(spelling);
    }
    EXPECT_FALSE(sameObject(reference, open(u"C:\\Games\\Other\\data")));
    EXPECT_EQ(u"\\\\?\\C:\\", open(u"C:\\").finalPath);
}

TEST_F(FileHandlesTest, OpeningFailsAsWindowsDoes) {
    tree.file("dir/file.txt");
    std::filesystem::create_directory_symlink(tree.path("dir"), tree.path("link"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, open(u"C:\\dir", 0).error);  // a folder needs backup semantics
    EXPECT_EQ(0u, open(u"C:\\dir\\file.txt", 0).error);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(u"C:\\dir\\missing").error);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, open(u"C:\\missing\\file.txt").error);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, open(u"Q:\\dir").error);
    std::string deep = "C:";
    while (deep.size() < 5000) {
        deep += "\\folder";
    }
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, open(wide(deep)).error);
    // The link itself, not the folder it names.
    const TOpened link =
        open(u"C:\\link", FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    ASSERT_EQ(0u, link.error);
    EXPECT_FALSE(sameObject(link, open(u"C:\\dir")));
    EXPECT_TRUE(link.information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);

    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"C:\\dir\\file.txt", GENERIC_READ, 0, nullptr,
                                                2 /* CREATE_ALWAYS */, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
}

TEST_F(FileHandlesTest, HandlesAreCheckedByKind) {
    tree.folder("dir");
    HANDLE file =
        CreateFileW(u"C:\\dir", 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    WCHAR small[4];
    // \\?\C:\dir does not fit: the size needed, terminator included.
    EXPECT_EQ(11u, GetFinalPathNameByHandleW(file, small, 4, 0));
    EXPECT_EQ(0u, GetFinalPathNameByHandleW(file, small, 4, 0x8 /* FILE_NAME_OPENED */));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    EXPECT_FALSE(GetFileInformationByHandle(mutex, &information));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(file, 0));
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(GetFileInformationByHandle(file, &information));
}

}  // namespace
