// The registry functions as Windows defines them, through the Windows API alone, so that the same
// file runs against the PAL and against a real registry. Everything happens below
// HKCU\Software\OrvaneTest, which each test starts and ends without.
#include "platform/Win32Api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

typedef std::basic_string<WCHAR> TWide;
typedef std::vector<TWide> TNames;

const WCHAR* const testRoot = W("Software\\OrvaneTest");

// Closes the key when it goes.
struct TKey {
    HKEY key = nullptr;
    ~TKey() {
        if (key != nullptr) {
            RegCloseKey(key);
        }
    }
};

// The names that `enumerate`(index, buffer, length) gives from index 0 until it fails.
template <class Enumerate>
TNames names(Enumerate enumerate) {
    TNames found;
    WCHAR name[300];
    for (DWORD length = 300;
         enumerate(static_cast<DWORD>(found.size()), name, &length) == ERROR_SUCCESS;
         length = 300) {
        found.emplace_back(name, length);
    }
    return found;
}
TNames subkeys(HKEY key) {
    return names([key](DWORD index, WCHAR* name, DWORD* length) {
        return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}
TNames valueNames(HKEY key) {
    return names([key](DWORD index, WCHAR* name, DWORD* length) {
        return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}
LONG set(HKEY key, const WCHAR* name, DWORD type, const std::string& data) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}
// The type and data of a value, read into a buffer of exactly its size.
std::pair<DWORD, std::string> get(HKEY key, const WCHAR* name) {
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &type, nullptr, &size));
    std::string data(size, '\0');
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &type,
                                              reinterpret_cast<BYTE*>(&data[0]), &size));
    return {type, data.substr(0, size)};
}
DWORD count(HKEY key, bool ofValues) {
    DWORD subkeys = 99, values = 99;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr));
    return ofValues ? values : subkeys;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, testRoot);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, testRoot, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &root, nullptr));
    }
    void TearDown() override {
        RegCloseKey(root);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, testRoot));
    }

    LONG create(const WCHAR* path, HKEY* key, DWORD* disposition = nullptr) {
        return RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key,
                               disposition);
    }
    void make(const WCHAR* path) {
        TKey made;
        ASSERT_EQ(ERROR_SUCCESS, create(path, &made.key));
    }
    LONG open(const WCHAR* path, HKEY* key, REGSAM access = KEY_ALL_ACCESS) {
        return RegOpenKeyExW(root, path, 0, access, key);
    }
    LONG exists(const WCHAR* path) {
        TKey opened;
        return open(path, &opened.key, KEY_READ);
    }
    HKEY root = nullptr;
};

TEST_F(RegistryTest, CreateMakesMissingParentsAndOpenFindsOnlyWhatExists) {
    TKey key, again, same, missing;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, create(W("a\\b\\c"), &key.key, &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, exists(W("a\\b")));
    ASSERT_EQ(ERROR_SUCCESS, create(W("a\\b\\c"), &again.key, &disposition));
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    EXPECT_NE(key.key, again.key);

    missing.key = root;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(W("a\\missing"), &missing.key));
    EXPECT_EQ(nullptr, missing.key);
    // An empty or null path opens the same key again, through a handle of its own.
    ASSERT_EQ(ERROR_SUCCESS, open(nullptr, &same.key));
    EXPECT_NE(root, same.key);
    EXPECT_EQ(TNames{W("a")}, subkeys(same.key));
}

// Names match whatever their case and keep the case they were made with. Windows orders subkeys
// by their upper-case names, so "_" (0x5F) comes after every letter.
TEST_F(RegistryTest, SubkeysMatchAndEnumerateByTheirUpperCaseNames) {
    for (const WCHAR* name : {W("b"), W("_x"), W("A"), W("a1"), W("Zed"), W("z2"), W("~"), W("["),
                              W("\u00ff"), W("\u0101"), W("\u03a3igma")}) {
        make(name);
    }
    TKey key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, create(W("ZED"), &key.key, &disposition));
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, exists(W("\u0178")));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("\u03c3IGMA")));
    EXPECT_EQ((TNames{W("A"), W("a1"), W("b"), W("z2"), W("Zed"), W("["), W("_x"), W("~"),
                      W("\u0101"), W("\u00ff"), W("\u03a3igma")}),
              subkeys(root));
}

TEST_F(RegistryTest, PathSyntax) {
    TKey key;
    EXPECT_EQ(ERROR_BAD_PATHNAME, create(W("\\lead"), &key.key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, open(W("\\lead"), &key.key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteKeyW(root, W("\\lead")));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteTreeW(root, W("\\lead")));

    make(W("trailing\\"));
    make(W("p\\\\q"));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("p\\q\\\\")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("trailing\\")));
    EXPECT_EQ(TNames{W("p")}, subkeys(root));

    TWide longest(255, W('n'));
    make(longest.c_str());
    EXPECT_EQ(ERROR_SUCCESS, exists(longest.c_str()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, create((W("x\\") + longest + W("n")).c_str(), &key.key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(W("x")));
}

TEST_F(RegistryTest, DeleteKeyRemovesOnlyALeafKey) {
    make(W("parent\\child"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(root, W("parent")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("PARENT\\child")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(root, W("parent\\child")));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(root, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, W("")));
    TKey self;
    ASSERT_EQ(ERROR_SUCCESS, create(W("self"), &self.key));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(self.key, W("")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(W("self")));
}

TEST_F(RegistryTest, DeleteTreeRemovesASubkeyOrEmptiesAKey) {
    make(W("tree\\a\\b"));
    make(W("keep"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(root, W("tree")));
    EXPECT_EQ(TNames{W("keep")}, subkeys(root));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(root, W("tree")));

    make(W("keep\\a\\b"));
    TKey keep;
    ASSERT_EQ(ERROR_SUCCESS, open(W("keep"), &keep.key));
    ASSERT_EQ(ERROR_SUCCESS, set(keep.key, nullptr, REG_SZ, "x"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(keep.key, nullptr));
    EXPECT_EQ(0u, count(keep.key, false));
    EXPECT_EQ(0u, count(keep.key, true));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("keep")));
}

// Every function that takes a handle, called on it.
const std::vector<std::pair<const char*, std::function<LONG(HKEY)>>> everyKeyFunction = {
    {"RegOpenKeyExW",
     [](HKEY key) {
         TKey out;
         return RegOpenKeyExW(key, W("sub"), 0, KEY_READ, &out.key);
     }},
    {"RegCreateKeyExW",
     [](HKEY key) {
         TKey out;
         return RegCreateKeyExW(key, W("sub"), 0, nullptr, 0, KEY_READ, nullptr, &out.key, nullptr);
     }},
    {"RegQueryValueExW",
     [](HKEY key) { return RegQueryValueExW(key, W("v"), nullptr, nullptr, nullptr, nullptr); }},
    {"RegSetValueExW", [](HKEY key) { return set(key, W("v"), REG_SZ, "x"); }},
    {"RegEnumKeyExW",
     [](HKEY key) {
         WCHAR name[8];
         DWORD length = 8;
         return RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
     }},
    {"RegEnumValueW",
     [](HKEY key) {
         WCHAR name[8];
         DWORD length = 8;
         return RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
     }},
    {"RegQueryInfoKeyW",
     [](HKEY key) {
         return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
     }},
    {"RegDeleteValueW", [](HKEY key) { return RegDeleteValueW(key, W("v")); }},
    {"RegDeleteKeyW", [](HKEY key) { return RegDeleteKeyW(key, W("")); }},
    {"RegDeleteTreeW", [](HKEY key) { return RegDeleteTreeW(key, nullptr); }},
};

TEST_F(RegistryTest, InvalidAndDeletedHandlesAreRefused) {
    HKEY closed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, open(W(""), &closed));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));

    // A key made again under the same name is another key: the old handle stays dead.
    TKey doomed;
    ASSERT_EQ(ERROR_SUCCESS, create(W("doomed"), &doomed.key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("doomed")));
    make(W("doomed"));
    for (const auto& function : everyKeyFunction) {
        EXPECT_EQ(ERROR_INVALID_HANDLE, function.second(nullptr)) << function.first;
        EXPECT_EQ(ERROR_INVALID_HANDLE, function.second(closed)) << function.first;
        EXPECT_EQ(ERROR_KEY_DELETED, function.second(doomed.key)) << function.first;
    }
}

struct AccessCase {
    const char* function;
    REGSAM access;
    LONG expected;
};

void PrintTo(const AccessCase& access, std::ostream* out) {
    *out << access.function << " with rights 0x" << std::hex << access.access;
}

class RegistryAccessTest : public RegistryTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(RegistryAccessTest, HandlesAllowOnlyTheRightsTheyWereOpenedWith) {
    make(W("sub"));
    TKey key;
    ASSERT_EQ(ERROR_SUCCESS, open(W(""), &key.key, GetParam().access));
    for (const auto& function : everyKeyFunction) {
        if (strcmp(function.first, GetParam().function) == 0) {
            LONG result = function.second(key.key);
            bool allowed = result != ERROR_ACCESS_DENIED && result != ERROR_INVALID_HANDLE;
            EXPECT_EQ(GetParam().expected, allowed ? ERROR_SUCCESS : result);
        }
    }
}

// Opening and creating subkeys ignore the rights of the parent handle, as on Windows; emptying a
// key needs the rights to enumerate it.
INSTANTIATE_TEST_SUITE_P(
    Rights, RegistryAccessTest,
    ::testing::Values(AccessCase{"RegSetValueExW", KEY_READ, ERROR_ACCESS_DENIED},
                      AccessCase{"RegDeleteValueW", KEY_READ, ERROR_ACCESS_DENIED},
                      AccessCase{"RegEnumValueW", KEY_READ, ERROR_SUCCESS},
                      AccessCase{"RegQueryInfoKeyW", KEY_READ, ERROR_SUCCESS},
                      AccessCase{"RegCreateKeyExW", KEY_READ, ERROR_SUCCESS},
                      AccessCase{"RegSetValueExW", KEY_WRITE, ERROR_SUCCESS},
                      AccessCase{"RegQueryValueExW", KEY_WRITE, ERROR_ACCESS_DENIED},
                      AccessCase{"RegEnumValueW", KEY_WRITE, ERROR_ACCESS_DENIED},
                      AccessCase{"RegQueryInfoKeyW", KEY_WRITE, ERROR_ACCESS_DENIED},
                      AccessCase{"RegOpenKeyExW", KEY_WRITE, ERROR_SUCCESS},
                      AccessCase{"RegEnumKeyExW", KEY_QUERY_VALUE, ERROR_ACCESS_DENIED},
                      AccessCase{"RegDeleteTreeW", KEY_READ, ERROR_SUCCESS},
                      AccessCase{"RegDeleteTreeW", KEY_SET_VALUE, ERROR_ACCESS_DENIED}));

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytesAsGiven) {
    const std::string text("a\0b\0c\0\0\0", 8);
    const std::vector<std::pair<DWORD, std::string>> cases = {
        {REG_SZ, text},
        {REG_SZ, text.substr(0, 5)},
        {REG_DWORD, std::string("\x01\x02", 2)},
        {REG_QWORD, "12345678"},
        {REG_BINARY, std::string()},
        {1234, std::string(100000, 'x')},
    };
    for (const auto& value : cases) {
        ASSERT_EQ(ERROR_SUCCESS, set(root, W("v"), value.first, value.second));
        EXPECT_EQ(value, get(root, W("v"))) << "type " << value.first;
    }
    // The null and the empty name are the default value.
    ASSERT_EQ(ERROR_SUCCESS, set(root, nullptr, REG_SZ, "x"));
    EXPECT_EQ("x", get(root, W("")).second);
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(root, W("v"), 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(root, W("v"), 0, REG_BINARY, nullptr, 0));
}

TEST_F(RegistryTest, ValueNamesMatchWhateverTheirCaseUpToTheirLengthLimit) {
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("Name"), REG_SZ, "1"));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("NAME"), REG_BINARY, "2"));
    EXPECT_EQ((std::pair<DWORD, std::string>{REG_BINARY, "2"}), get(root, W("name")));
    EXPECT_EQ(TNames{W("Name")}, valueNames(root));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(root, W("nAME")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(root, W("Name")));

    TWide longest(16383, W('v'));
    EXPECT_EQ(ERROR_SUCCESS, set(root, longest.c_str(), REG_SZ, "x"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, set(root, (longest + W("v")).c_str(), REG_SZ, "x"));
    DWORD longestName = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &longestName, nullptr, nullptr, nullptr));
    EXPECT_EQ(16383u, longestName);
}

TEST_F(RegistryTest, QueryReportsTheSizeAndLeavesASmallBufferAlone) {
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("v"), REG_BINARY, "12345678"));
    BYTE buffer[8] = {0xAB};
    DWORD type = 0, size = 4;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(root, W("v"), nullptr, &type, buffer, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(0xAB, buffer[0]);

    size = 99;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExW(root, W("missing"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(root, W("v"), nullptr, nullptr, buffer, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(root, W("v"), &size, nullptr, nullptr, nullptr));
}

// Windows keeps values in the order they were first set (Wine sorts them by name).
TEST_F(RegistryTest, ValuesEnumerateInTheOrderTheyWereFirstSet) {
    for (const WCHAR* name : {W("zz"), W("aa"), W("Mm"), W("bb")}) {
        ASSERT_EQ(ERROR_SUCCESS, set(root, name, REG_SZ, "x"));
    }
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(root, W("aa")));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("ZZ"), REG_SZ, "y"));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("cc"), REG_SZ, "z"));
    EXPECT_EQ((TNames{W("zz"), W("Mm"), W("bb"), W("cc")}), valueNames(root));
}

TEST_F(RegistryTest, EnumValueReportsWhatDoesNotFit) {
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("Test"), REG_BINARY, "foobar"));
    WCHAR name[8] = {W('x')};
    BYTE data[8] = {0xAB};
    DWORD nameLength = 4, type = 0, size = 8;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueW(root, 0, name, &nameLength, nullptr, &type, data, &size));
    EXPECT_EQ(4u, nameLength);
    EXPECT_EQ(6u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(W('x'), name[0]);
    EXPECT_EQ(0xAB, data[0]);

    nameLength = 8;
    size = 2;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueW(root, 0, name, &nameLength, nullptr, &type, data, &size));
    EXPECT_EQ(TWide(W("Test")), TWide(name, nameLength));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(0xAB, data[0]);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumValueW(root, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, EnumKeyNeedsRoomForTheTerminatorAndReportsNoSize) {
    make(W("abcdef"));
    WCHAR name[8] = {W('Z')};
    for (DWORD tooSmall : {3u, 6u}) {
        DWORD length = tooSmall;
        EXPECT_EQ(ERROR_MORE_DATA,
                  RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(tooSmall, length);
        EXPECT_EQ(W('Z'), name[0]);
    }
    DWORD length = 7;
    FILETIME written = {0, 0};
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, &written));
    EXPECT_EQ(TWide(W("abcdef")), TWide(name));
    EXPECT_NE(0u, written.dwHighDateTime);
}

TEST_F(RegistryTest, QueryInfoGivesTheLongestNamesAndData) {
    make(W("abcdef"));
    make(W("x"));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("four"), REG_BINARY, "0123456789"));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("s"), REG_BINARY, "0"));
    DWORD longestSubkey = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr,
                               nullptr, &longestName, &longestData, nullptr, nullptr));
    EXPECT_EQ(6u, longestSubkey);
    EXPECT_EQ(4u, longestName);
    EXPECT_EQ(10u, longestData);
    EXPECT_EQ(2u, count(root, false));
    EXPECT_EQ(2u, count(root, true));
}

TEST(FormatMessage, GivesTheSystemTextsEndingInALineBreak) {
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    for (DWORD code : {0,   1,   2,   3,   5,    6,    8,    14,   19,   32,   87,   122,
                       161, 183, 234, 259, 1009, 1010, 1011, 1012, 1013, 1015, 1016, 1018}) {
        WCHAR* text = nullptr;
        DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        ASSERT_GT(length, 2u) << code;
        EXPECT_EQ(TWide(W("\r\n")), TWide(text + length - 2)) << code;
        EXPECT_EQ(nullptr, LocalFree(text));
    }
    WCHAR text[64];
    ASSERT_EQ(19u, FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0, text, 64, nullptr));
    EXPECT_EQ(TWide(W("Access is denied.\r\n")), TWide(text));
    EXPECT_EQ(0u, FormatMessageW(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, text, 4, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, FormatMessageW(flags, nullptr, 0x2FFFFu, 0, text, 64, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError());
}

}  // namespace
