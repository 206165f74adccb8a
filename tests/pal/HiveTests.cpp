// The hive behind the PAL's registry: where it lives, several processes sharing it, durability
// when a writer is killed, damaged or read-only files, and the controls only the PAL has. Each
// case that needs a hive file of its own runs in forked children.
#include "pal/PalTesting.h"
#include "platform/Win32Api.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
typedef std::basic_string<WCHAR> TWide;
typedef std::vector<LONG> TCodes;

// The test process itself only ever uses a private hive.
[[maybe_unused]] const int privateHive = setenv("ORVANE_PAL_HIVE", ":memory:", 1);
const WCHAR* const testKey = W("Software\\OrvaneTest");

struct TTempFolder {
    fs::path path;
    TTempFolder() {
        std::string pattern = (fs::temp_directory_path() / "orvane-hive-XXXXXX").string();
        EXPECT_NE(nullptr, mkdtemp(&pattern[0]));
        path = pattern;
    }
    ~TTempFolder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

TWide name(const std::string& prefix, DWORD index) {
    std::string text = prefix + std::to_string(index);
    return TWide(text.begin(), text.end());
}

LONG writeValue(const WCHAR* path, const TWide& value, DWORD data) {
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, value.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&data),
                                sizeof data);
        RegCloseKey(key);
    }
    return status;
}

LONG readValue(const WCHAR* path, const TWide& value, DWORD& data) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        DWORD size = sizeof data;
        status = RegQueryValueExW(key, value.c_str(), nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&data), &size);
        RegCloseKey(key);
    }
    return status;
}

// How many of the values `prefix`0 .. `prefix`count-1 hold their own number.
LONG countValues(const WCHAR* path, const std::string& prefix, DWORD count) {
    LONG found = 0;
    for (DWORD index = 0; index < count; ++index) {
        DWORD data = ~index;
        found += readValue(path, name(prefix, index), data) == ERROR_SUCCESS && data == index;
    }
    return found;
}

// Runs `body` in a forked child with the given hive (none: the inherited setting); the child
// sends the codes it gathered through a pipe and exits normally.
TCodes inChild(const std::function<TCodes()>& body, const std::string& hive = std::string()) {
    int channel[2];
    EXPECT_EQ(0, pipe(channel));
    pid_t child = fork();
    if (child == 0) {
        if (!hive.empty()) {
            setenv("ORVANE_PAL_HIVE", hive.c_str(), 1);
        }
        TCodes codes = body();
        ssize_t bytes = static_cast<ssize_t>(codes.size() * sizeof(LONG));
        exit(write(channel[1], codes.data(), bytes) == bytes ? 0 : 1);
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

TEST(HiveLocation, TheEnvironmentChoosesTheFileAndItsFoldersAreMade) {
    // ORVANE_PAL_HIVE, XDG_DATA_HOME, HOME (null: unset; "@": as it is) and the file expected.
    const std::vector<std::vector<const char*>> cases = {
        {"a/b/hive.db", nullptr, "home", "a/b/hive.db"},
        {nullptr, "xdg", "home", "xdg/orvane/HKCU.sqlite3"},
        {nullptr, nullptr, "home", "home/.local/share/orvane/HKCU.sqlite3"},
        {nullptr, "@relative", "home", "home/.local/share/orvane/HKCU.sqlite3"},
    };
    for (const auto& where : cases) {
        TTempFolder temp;
        EXPECT_EQ(TCodes{ERROR_SUCCESS}, inChild([&] {
                      const char* names[] = {"ORVANE_PAL_HIVE", "XDG_DATA_HOME", "HOME"};
                      for (int index = 0; index < 3; ++index) {
                          const char* value = where[index];
                          if (value == nullptr) {
                              unsetenv(names[index]);
                          } else {
                              setenv(names[index],
                                     value[0] == '@' ? value + 1 : (temp / value).c_str(), 1);
                          }
                      }
                      return TCodes{writeValue(testKey, W("v"), 1)};
                  }));
        EXPECT_TRUE(fs::is_regular_file(temp / where[3])) << where[3];
    }
}

TEST(HiveSharing, TwoProcessesWritingTheSameKeyAtOnceLoseNothing) {
    TTempFolder temp;
    const std::string hive = temp / "HKCU.sqlite3";
    int start[2];
    ASSERT_EQ(0, pipe(start));
    // Both writers wait for the start signal, then write to the new hive at the same moment.
    pid_t writers[2];
    for (int writer = 0; writer < 2; ++writer) {
        if ((writers[writer] = fork()) == 0) {
            char go;
            close(start[1]);
            setenv("ORVANE_PAL_HIVE", hive.c_str(), 1);
            LONG failures = read(start[0], &go, 1) != 1;
            for (DWORD index = 0; index < 100; ++index) {
                failures += writeValue(testKey, name(writer == 0 ? "a" : "b", index), index) != 0;
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    close(start[0]);
    ASSERT_EQ(2, write(start[1], "gg", 2));
    close(start[1]);
    for (pid_t writer : writers) {
        int status = 0;
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ((TCodes{100, 100}),
              inChild(
                  [] {
                      return TCodes{countValues(testKey, "a", 100), countValues(testKey, "b", 100)};
                  },
                  hive));
}

TEST(HiveDurability, AKilledWriterLosesNoWriteThatHadReturned) {
    TTempFolder temp;
    const std::string hive = temp / "HKCU.sqlite3";
    int progress[2];
    ASSERT_EQ(0, pipe(progress));
    pid_t writer = fork();
    if (writer == 0) {
        setenv("ORVANE_PAL_HIVE", hive.c_str(), 1);
        for (DWORD index = 0; writeValue(testKey, name("v", index), index) == ERROR_SUCCESS &&
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
    EXPECT_EQ(TCodes{static_cast<LONG>(done)},
              inChild([&] { return TCodes{countValues(testKey, "v", done)}; }, hive));
}

TEST(HiveSharing, AForkedChildWritesThroughItsOwnConnection) {
    TTempFolder temp;
    TCodes codes = inChild(
        [] {
            TCodes results{writeValue(testKey, W("before"), 1)};
            results.push_back(
                inChild([] { return TCodes{writeValue(testKey, W("child"), 2)}; })[0]);
            results.push_back(writeValue(testKey, W("after"), 3));
            DWORD data = 0;
            results.push_back(readValue(testKey, W("child"), data));
            results.push_back(static_cast<LONG>(data));
            return results;
        },
        temp / "HKCU.sqlite3");
    EXPECT_EQ((TCodes{0, 0, 0, 0, 2}), codes);
}

// One call of each kind, against whatever hive the child has.
TCodes everyKindOfCall() {
    HKEY key = nullptr;
    return TCodes{writeValue(testKey, W("v"), 1),
                  RegOpenKeyExW(HKEY_CURRENT_USER, W(""), 0, KEY_READ, &key),
                  RegDeleteTreeW(HKEY_CURRENT_USER, testKey), RegCloseKey(HKEY_CURRENT_USER)};
}

TEST(DamagedHive, FilesThatAreNotHivesAreRefusedAndLeftAlone) {
    TTempFolder temp;
    std::ofstream(temp / "text") << std::string(4096, 'x');
    EXPECT_EQ((TCodes{ERROR_BADDB, ERROR_BADDB, ERROR_BADDB, ERROR_SUCCESS}),
              inChild(everyKindOfCall, temp / "text"));

    const std::string other = temp / "other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(other.c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr));
    sqlite3_close(db);
    auto size = fs::file_size(other);
    EXPECT_EQ(ERROR_BADDB, inChild(everyKindOfCall, other).at(0));
    EXPECT_EQ(size, fs::file_size(other));
    EXPECT_FALSE(fs::exists(other + "-wal"));

    std::ofstream(temp / "file") << "x";
    EXPECT_EQ((TCodes{ERROR_CANTOPEN, ERROR_CANTOPEN, ERROR_CANTOPEN, ERROR_SUCCESS}),
              inChild(everyKindOfCall, temp / "file/below/HKCU.sqlite3"));
}

// A hive this process may not write grants the read rights only.
TEST(DamagedHive, AReadOnlyHiveCanStillBeRead) {
    TTempFolder temp;
    const std::string hive = temp / "HKCU.sqlite3";
    ASSERT_EQ(TCodes{ERROR_SUCCESS},
              inChild([] { return TCodes{writeValue(testKey, W("v"), 7)}; }, hive));
    chmod(temp.path.c_str(), 0755);
    chmod(hive.c_str(), 0444);
    TCodes codes = inChild(
        [] {
            // The superuser may write any file: read as nobody instead.
            if (geteuid() == 0 && setuid(65534) != 0) {
                return TCodes{-1};
            }
            DWORD data = 0;
            HKEY key = nullptr;
            TCodes results{readValue(testKey, W("v"), data),
                           static_cast<LONG>(data),
                           writeValue(testKey, W("v"), 8),
                           RegCreateKeyExW(HKEY_CURRENT_USER, testKey, 0, nullptr, 0, KEY_READ,
                                           nullptr, &key, nullptr),
                           RegOpenKeyExW(HKEY_CURRENT_USER, testKey, 0, MAXIMUM_ALLOWED, &key),
                           RegSetValueExW(key, W("v"), 0, REG_BINARY, nullptr, 0),
                           RegDeleteTreeW(HKEY_CURRENT_USER, testKey)};
            return results;
        },
        hive);
    EXPECT_EQ((TCodes{ERROR_SUCCESS, 7, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS,
                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}),
              codes);
}

TEST(PalRegistry, CurrentUserIsTheOnlyRoot) {
    for (HKEY other : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(other, W("Software"), 0, KEY_READ, &key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(other));
    }
}

TEST(PalRegistry, InjectedFaultsFailTheNamedCallsOnly) {
    palInjectFault("RegCreateKeyExW", ERROR_CANTWRITE, 1, 1);
    palInjectFault("FormatMessageW", ERROR_NOT_ENOUGH_MEMORY, 0, 1);
    EXPECT_EQ(ERROR_SUCCESS, writeValue(testKey, W("v"), 1));
    EXPECT_EQ(ERROR_CANTWRITE, writeValue(testKey, W("v"), 2));
    EXPECT_EQ(ERROR_SUCCESS, writeValue(testKey, W("v"), 3));
    WCHAR text[64];
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, 2, 0, text, 64, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    palClearFaults();
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, testKey));

    int notAllocated = 0;
    EXPECT_EQ(&notAllocated, LocalFree(&notAllocated));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

}  // namespace
