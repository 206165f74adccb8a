// The hive behind the PAL's registry: several processes sharing it, durability when a writer is
// killed, damaged or read-only files, and what only the PAL refuses. Each case
// that needs a hive file of its own runs in forked children.
#include "tests/pal/ShellTestSupport.h"
#include "win32/RegistryKey.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
typedef std::vector<LONG> TCodes;

// The test process itself only ever uses a private hive.
[[maybe_unused]] const int privateHive = setenv("ORVANE_PAL_HIVE", ":memory:", 1);
const WCHAR* const testKey = W("Software\\OrvaneTest");

// Writes `data` to the value below testKey, or reads the value `into` a number.
LONG value(const std::string& name, DWORD data, DWORD* into = nullptr) {
    OrvaneLib::TRegistryKey key;
    DWORD size = sizeof data;
    const std::u16string wide = OrvaneTest::wide(name);
    LONG status = into != nullptr ? key.open(HKEY_CURRENT_USER, testKey, KEY_READ)
                                  : key.create(HKEY_CURRENT_USER, testKey, KEY_WRITE);
    if (status == ERROR_SUCCESS) {
        status = into != nullptr ? RegQueryValueExW(key.get(), wide.c_str(), nullptr, nullptr,
                                                    reinterpret_cast<BYTE*>(into), &size)
                                 : RegSetValueExW(key.get(), wide.c_str(), 0, REG_DWORD,
                                                  reinterpret_cast<BYTE*>(&data), size);
    }
    return status;
}

// How many of the values `prefix`0 .. `prefix`count-1 hold their own number.
LONG countValues(const std::string& prefix, DWORD count) {
    LONG found = 0;
    for (DWORD index = 0, data = 0; index < count; ++index) {
        found += value(prefix + std::to_string(index), 0, &data) == ERROR_SUCCESS && data == index;
    }
    return found;
}

enum class TEnd { leaveOpen, closeHive };

// Runs `body` in a forked child with the given hive (none: the inherited setting); the child
// sends the codes it gathered through a pipe and exits normally, closing its connection to the
// hive as a process does at exit when asked to.
TCodes inChild(const std::function<TCodes()>& body, const std::string& hive = std::string(),
               TEnd end = TEnd::leaveOpen) {
    int channel[2];
    EXPECT_EQ(0, pipe(channel));
    const pid_t child = fork();
    if (child == 0) {
        if (!hive.empty()) {
            setenv("ORVANE_PAL_HIVE", hive.c_str(), 1);
        }
        const TCodes codes = body();
        const ssize_t bytes = static_cast<ssize_t>(codes.size() * sizeof(LONG));
        const int status = write(channel[1], codes.data(), bytes) == bytes ? 0 : 1;
        end == TEnd::closeHive ? exit(status) : _exit(status);
    }
    close(channel[1]);
    TCodes codes;
    for (LONG code; read(channel[0], &code, sizeof code) == sizeof code;) {
        codes.push_back(code);
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return codes;
}

class Hive : public ::testing::Test {
protected:
    OrvaneTest::TTempTree temp;
    const std::string hive = temp.path("HKCU.sqlite3").string();
};

TEST_F(Hive, TwoProcessesWritingTheSameKeyAtOnceLoseNothing) {
    // The two begin together on a hive that does not exist yet, and both make it.
    const TCodes codes = inChild(
        [] {
            const pid_t other = fork();
            LONG failures = 0;
            for (DWORD index = 0; index < 100; ++index) {
                failures += value((other == 0 ? "b" : "a") + std::to_string(index), index) != 0;
            }
            if (other == 0) {
                _exit(failures == 0 ? 0 : 1);
            }
            int status = 0;
            waitpid(other, &status, 0);
            return TCodes{failures, status, countValues("a", 100), countValues("b", 100)};
        },
        hive);
    EXPECT_EQ((TCodes{0, 0, 100, 100}), codes);
}

TEST_F(Hive, AKilledWriterLosesNoWriteThatHadReturned) {
    int progress[2];
    ASSERT_EQ(0, pipe(progress));
    const pid_t writer = fork();
    if (writer == 0) {
        setenv("ORVANE_PAL_HIVE", hive.c_str(), 1);
        for (DWORD index = 0; value("v" + std::to_string(index), index) == ERROR_SUCCESS &&
                              write(progress[1], &index, sizeof index) == sizeof index;
             ++index) {
        }
        _exit(1);
    }
    close(progress[1]);
    DWORD done = 0;
    for (DWORD index; read(progress[0], &index, sizeof index) == sizeof index;) {
        if (++done == 50) {
            kill(writer, SIGKILL);
        }
    }
    close(progress[0]);
    waitpid(writer, nullptr, 0);
    ASSERT_GE(done, 50u);
    EXPECT_EQ(TCodes{LONG(done)}, inChild([&] { return TCodes{countValues("v", done)}; }, hive));
}

// The connection a child inherits is its parent's: the child must open its own.
TEST_F(Hive, AForkedChildWritesThroughItsOwnConnection) {
    const TCodes codes = inChild(
        [] {
            DWORD data = 0;
            return TCodes{value("before", 1), inChild([] { return TCodes{value("child", 2)}; })[0],
                          value("after", 3), value("child", 0, &data), LONG(data)};
        },
        hive);
    EXPECT_EQ((TCodes{0, 0, 0, 0, 2}), codes);
}

// One call of each kind, against whatever hive the child has.
TCodes everyKindOfCall() {
    HKEY key = nullptr;
    return TCodes{value("v", 1), RegOpenKeyExW(HKEY_CURRENT_USER, W(""), 0, KEY_READ, &key),
                  RegDeleteTreeW(HKEY_CURRENT_USER, testKey), RegCloseKey(HKEY_CURRENT_USER)};
}

TEST_F(Hive, FilesThatAreNotHivesAreRefusedAndLeftAlone) {
    const std::string text = temp.file("text", std::string(4096, 'x')).string();
    EXPECT_EQ((TCodes{ERROR_BADDB, ERROR_BADDB, ERROR_BADDB, ERROR_SUCCESS}),
              inChild(everyKindOfCall, text));
    EXPECT_EQ((TCodes{ERROR_CANTOPEN, ERROR_CANTOPEN, ERROR_CANTOPEN, ERROR_SUCCESS}),
              inChild(everyKindOfCall, text + "/below/HKCU.sqlite3"));

    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(hive.c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr));
    sqlite3_close(db);
    const auto size = fs::file_size(hive);
    EXPECT_EQ(ERROR_BADDB, inChild(everyKindOfCall, hive).at(0));
    EXPECT_EQ(size, fs::file_size(hive));
    EXPECT_FALSE(fs::exists(hive + "-wal"));
}

// A hive this process may not write grants the read rights only.
TEST_F(Hive, AReadOnlyHiveCanStillBeRead) {
    ASSERT_EQ(TCodes{ERROR_SUCCESS}, inChild([] { return TCodes{value("v", 7)}; }, hive));
    chmod(temp.root().c_str(), 0755);
    chmod(hive.c_str(), 0444);
    const TCodes codes = inChild(
        [] {
            // The superuser may write any file: read as nobody instead.
            if (geteuid() == 0 && setuid(65534) != 0) {
                return TCodes{-1};
            }
            DWORD data = 0;
            HKEY key = nullptr;
            return TCodes{value("v", 0, &data),
                          LONG(data),
                          value("v", 8),
                          RegCreateKeyExW(HKEY_CURRENT_USER, testKey, 0, nullptr, 0, KEY_READ,
                                          nullptr, &key, nullptr),
                          RegOpenKeyExW(HKEY_CURRENT_USER, testKey, 0, MAXIMUM_ALLOWED, &key),
                          RegSetValueExW(key, W("v"), 0, REG_BINARY, nullptr, 0),
                          RegDeleteTreeW(HKEY_CURRENT_USER, testKey)};
        },
        hive);
    EXPECT_EQ((TCodes{ERROR_SUCCESS, 7, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS,
                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}),
              codes);
}

// The first character of the subkey at the index, or the failure's code.
LONG firstCharacterOfSubkey(HKEY key, DWORD index) {
    WCHAR name[16];
    DWORD length = 16;
    LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS ? LONG(name[0]) : -status;
}

// Runs `before`, then `change` in another process that opened the hive before `before` began,
// then `after`: the codes of all three, in that order.
TCodes withChangeInBetween(const std::function<TCodes()>& before,
                           const std::function<LONG()>& change,
                           const std::function<TCodes()>& after) {
    int go[2], done[2];
    if (pipe(go) != 0 || pipe(done) != 0) {
        return TCodes{-1};
    }
    const pid_t other = fork();
    if (other == 0) {
        HKEY opened = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, W(""), 0, KEY_READ, &opened);
        char signal = 0;
        const LONG status = read(go[0], &signal, 1) == 1 ? change() : -1;
        _exit(write(done[1], &status, sizeof status) == sizeof status ? 0 : 1);
    }
    TCodes codes = before();
    LONG changed = -1;
    if (write(go[1], "x", 1) != 1 || read(done[0], &changed, sizeof changed) != sizeof changed) {
        changed = -1;
    }
    codes.push_back(changed);
    for (LONG code : after()) {
        codes.push_back(code);
    }
    waitpid(other, nullptr, 0);
    for (int end : {go[0], go[1], done[0], done[1]}) {
        close(end);
    }
    return codes;
}

LONG makeKey(const std::u16string& path) {
    HKEY made = nullptr;
    const LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                        nullptr, &made, nullptr);
    RegCloseKey(made);
    return status;
}

// What another process changes between two calls of this one counts at the second: in a listing
// by index, in the values read and in the keys opened.
TEST_F(Hive, CallsFollowWhatAnotherProcessChangedMeanwhile) {
    const TCodes codes = inChild(
        [] {
            for (const char16_t* name : {u"a", u"b", u"c", u"d"}) {
                makeKey(std::u16string(testKey) + u"\\" + name);
            }
            HKEY key = nullptr, doomed = nullptr, again = nullptr;
            DWORD data = 0;
            const TCodes codes = withChangeInBetween(
                [&] {
                    return TCodes{value("v", 1),
                                  RegOpenKeyExW(HKEY_CURRENT_USER, testKey, 0, KEY_READ, &key),
                                  firstCharacterOfSubkey(key, 0),
                                  firstCharacterOfSubkey(key, 1),
                                  value("v", 0, &data),
                                  value("v", 0, &data),
                                  LONG(data),
                                  value("w", 0, &data),
                                  RegOpenKeyExW(key, W("b"), 0, KEY_READ, &doomed),
                                  RegOpenKeyExW(key, W("b"), 0, KEY_READ, &doomed)};
                },
                [] {
                    return RegDeleteKeyW(HKEY_CURRENT_USER, W("Software\\OrvaneTest\\b")) +
                           value("v", 2) + value("w", 3);
                },
                [&] {
                    return TCodes{value("v", 0, &data),
                                  LONG(data),
                                  value("w", 0, &data),
                                  LONG(data),
                                  RegOpenKeyExW(key, W("b"), 0, KEY_READ, &again),
                                  RegQueryValueExW(doomed, W("v"), 0, 0, 0, 0),
                                  firstCharacterOfSubkey(key, 2),
                                  firstCharacterOfSubkey(key, 1),
                                  firstCharacterOfSubkey(key, 3)};
                });
            RegCloseKey(key);
            return codes;
        },
        hive);
    // The codes before the change, its own, then those after it. The reads that follow the change
    // come before any listing, which would ask the hive anyway.
    TCodes expected{0, 0, 'a', 'b', 0, 0, 1, ERROR_FILE_NOT_FOUND, 0, 0, /* the change */ 0};
    const TCodes after{
        0, 2, 0, 3, ERROR_FILE_NOT_FOUND, ERROR_KEY_DELETED, 'd', 'c', -ERROR_NO_MORE_ITEMS};
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(expected, codes);
}

// Size, modification time and bytes of a file; empty for a missing one.
std::string fileState(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::string();
    }
    std::ifstream in(path, std::ios::binary);
    return std::to_string(status.st_size) + " " + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec) + " " +
           std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every kind of reading call on the test key.
TCodes readEverything() {
    HKEY key = nullptr;
    DWORD data = 0, subkeys = 0, values = 0, length = 0;
    WCHAR name[16];
    TCodes codes{value("v", 0, &data),
                 RegOpenKeyExW(HKEY_CURRENT_USER, testKey, 0, KEY_READ, &key)};
    codes.push_back(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, nullptr));
    codes.push_back(
        RegEnumKeyExW(key, 0, name, &(length = 16), nullptr, nullptr, nullptr, nullptr));
    codes.push_back(
        RegEnumValueW(key, 0, name, &(length = 16), nullptr, nullptr, nullptr, nullptr));
    codes.push_back(RegCloseKey(key));
    return codes;
}

// Whether the writer closed its connection or was gone without, reading leaves the hive and its
// log as they were.
class HiveRead : public Hive, public ::testing::WithParamInterface<TEnd> {};

TEST_P(HiveRead, LeavesTheFileAndItsLogUntouched) {
    const TCodes written = inChild(
        [] {
            HKEY key = nullptr;
            return TCodes{value("v", 1),
                          RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\OrvaneTest\\sub"), 0,
                                          nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                          RegCloseKey(key)};
        },
        hive, GetParam());
    ASSERT_EQ((TCodes{0, 0, 0}), written);
    const std::string file = fileState(hive), log = fileState(hive + "-wal");
    ASSERT_FALSE(file.empty());
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(TCodes(6, ERROR_SUCCESS), inChild(readEverything, hive, TEnd::closeHive));
    }
    EXPECT_EQ(file, fileState(hive));
    EXPECT_EQ(log, fileState(hive + "-wal"));
}

INSTANTIATE_TEST_SUITE_P(AfterAWriter, HiveRead,
                         ::testing::Values(TEnd::leaveOpen, TEnd::closeHive));

TEST(PalRegistry, CurrentUserIsTheOnlyRootAndLocalFreeTakesOnlyWhatItAllocated) {
    for (HKEY other : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(other, W("Software"), 0, KEY_READ, &key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(other));
    }
    int notAllocated = 0;
    EXPECT_EQ(&notAllocated, LocalFree(&notAllocated));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

}  // namespace
