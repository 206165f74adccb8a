#include "platform/Registry.h"

#include "Common/General/TLogSystem.h"
#include "pal/PalTesting.h"

#include "support/AllocationCounter.h"
#include "support/LogHook.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace OrvaneLib;

namespace {

const char* const kKey = "Software\\OrvaneTest\\K";
const auto ignore = [](HKEY, const TString&) {};

std::string sub(const std::string& name) {
    return std::string(kKey) + "\\" + name;
}
bool exists(const char* path) {
    return forEachRegistrySubkey(path, ignore, KEY_READ);
}
// The type and bytes of the value v of kKey as stored; type 0 when it is missing.
std::pair<DWORD, std::string> stored() {
    HKEY key;
    DWORD type = 0;
    char data[64];
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TWideText(kKey).get(), 0, KEY_READ, &key) == 0) {
        size = sizeof data;
        if (RegQueryValueExW(key, W("v"), nullptr, &type, reinterpret_cast<BYTE*>(data), &size)) {
            type = size = 0;
        }
        RegCloseKey(key);
    }
    return {type, std::string(data, size)};
}
std::vector<std::string> names(const TArray<TString>& array) {
    std::vector<std::string> found;
    for (uint32_t i = 0; i < array.getCount(); ++i) {
        found.push_back(array.get(i).c_str());
    }
    return found;
}

// A clean Software\OrvaneTest and a fresh log that reaches this executable's outputLogString.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        logSystem = std::make_shared<TLogSystem>();
        logSystem->addStrategy(new TCurrentProcessLogStrategy("Orvane.dll"));
        deleteRegistryKey("Software\\OrvaneTest");
        OrvaneTest::clearLoggedLines();
    }
    void TearDown() override { palClearFaults(); }
    // The only line logged: text and level (0 for notes, 2 for the logged-only reports).
    static void expectLine(const std::string& text, int level) {
        auto lines = OrvaneTest::loggedLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, text + "\n");
        EXPECT_EQ(lines[0].module, "Orvane.dll");
        EXPECT_EQ(lines[0].level, level);
    }
};

// Bytes (written as hexadecimal) read as a type: the text, and the log line if any.
class RegistryRead
    : public Registry,
      public testing::WithParamInterface<std::tuple<const char*, uint32_t, const char*, int>> {};

TEST_P(RegistryRead, TypeAskedForChoosesTheTextForm) {
    auto [bytes, type, text, tooBig] = GetParam();
    ASSERT_TRUE(writeRegistryValue(kKey, "v", bytes, REG_BINARY));
    EXPECT_STREQ(readRegistryValue(kKey, "v", type).c_str(), text);
    if (tooBig != 0) {
        expectLine(std::string("Trying to read ") + (tooBig == 4 ? "D" : "Q") +
                       "WORD while it is something bigger!",
                   0);
    } else {
        EXPECT_TRUE(OrvaneTest::loggedLines().empty());
    }
}
INSTANTIATE_TEST_SUITE_P(Table, RegistryRead,
                         testing::Values(std::make_tuple("6100E9000000", REG_SZ, "a\xC3\xA9", 0),
                                         std::make_tuple("61000000620000", REG_SZ, "a", 0),
                                         std::make_tuple("780079", REG_EXPAND_SZ, "xy", 0),
                                         std::make_tuple("FFFFFFFF", REG_DWORD, "4294967295", 0),
                                         std::make_tuple("35000000", REG_DWORD, "53", 0),
                                         std::make_tuple("0102", REG_BINARY, "513", 0),
                                         std::make_tuple("0000000001", REG_DWORD, "", 4),
                                         std::make_tuple("FEFFFFFFFFFFFFFF", REG_QWORD, "-2", 0),
                                         std::make_tuple("010101010101010101", REG_QWORD, "", 11),
                                         std::make_tuple("01AB", REG_MULTI_SZ, "01AB", 0),
                                         std::make_tuple("01000000", REG_DWORD_BIG_ENDIAN, "", 0)));

// A text written as a type: the bytes stored with that type; none for a type without a data form.
class RegistryWrite
    : public Registry,
      public testing::WithParamInterface<std::tuple<const char*, uint32_t, std::string>> {};

TEST_P(RegistryWrite, TypeGivenChoosesTheDataForm) {
    auto [text, type, bytes] = GetParam();
    EXPECT_TRUE(writeRegistryValue(kKey, "v", text, type));
    EXPECT_TRUE(exists(kKey));
    EXPECT_EQ(stored(),
              std::make_pair(static_cast<DWORD>(type == REG_DWORD_BIG_ENDIAN ? 0 : type), bytes));
}
INSTANTIATE_TEST_SUITE_P(
    Table, RegistryWrite,
    testing::Values(std::make_tuple("a\xC3\xA9", REG_SZ, std::string("a\0\xE9\0\0\0", 6)),
                    std::make_tuple("-1", REG_DWORD, std::string("\xFF\xFF\xFF\xFF")),
                    std::make_tuple("3000000000", REG_DWORD, std::string("\xFF\xFF\xFF\x7F")),
                    std::make_tuple("-3000000000", REG_DWORD, std::string("\0\0\0\x80", 4)),
                    std::make_tuple("abc", REG_DWORD, std::string(4, '\0')),
                    std::make_tuple(" +258x", REG_DWORD, std::string("\x02\x01\0\0", 4)),
                    std::make_tuple("A0ff1", REG_BINARY, std::string("\xA0\xFF\x10")),
                    std::make_tuple("zz01", REG_MULTI_SZ, std::string("\0\x01", 2)),
                    std::make_tuple("7", REG_EXPAND_SZ, std::string("\x70")),
                    std::make_tuple("0102030405060708", REG_QWORD,
                                    std::string("\1\2\3\4\5\6\7\x8")),
                    std::make_tuple("1", REG_DWORD_BIG_ENDIAN, std::string())));

TEST_F(Registry, EmptyTextOrMissingDataChangeAndLogNothing) {
    EXPECT_FALSE(writeRegistryValue(kKey, "v", "", REG_SZ));
    EXPECT_FALSE(exists(kKey));
    EXPECT_TRUE(readRegistryValue(kKey, "v", REG_SZ).isEmpty());
    ASSERT_TRUE(writeRegistryValue(kKey, "", "7", REG_DWORD));
    EXPECT_FALSE(writeRegistryValue(kKey, "", "", REG_DWORD));
    EXPECT_EQ(readRegistryValue(kKey, "", REG_DWORD), TString("7"));
    EXPECT_TRUE(readRegistryValue(kKey, "v", REG_DWORD).isEmpty());
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

// A failing step (the row arms its fault and gives the expected result) and the line it logs.
// Each starts with kKey\a and kKey\b; none may change anything.
class RegistryFailure
    : public Registry,
      public testing::WithParamInterface<std::tuple<std::function<bool()>, std::string, int>> {};

TEST_P(RegistryFailure, IsLoggedAndChangesNothing) {
    ASSERT_TRUE(writeRegistryValue(sub("a").c_str(), "v", "1", REG_SZ));
    ASSERT_TRUE(writeRegistryValue(sub("b").c_str(), "v", "1", REG_SZ));
    OrvaneTest::clearLoggedLines();
    auto [failed, line, level] = GetParam();
    EXPECT_TRUE(failed());
    expectLine(line, level);
    EXPECT_EQ(names(getRegistrySubkeys(kKey)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(stored().first, 0u);
}

bool writeFails(const char* call, LONG code, uint32_t type) {
    palInjectFault(call, code, 0, 1);
    return !writeRegistryValue(kKey, "v", "A0", type);
}
bool deleteFails(const std::string& path, const char* call) {
    palInjectFault(call, ERROR_ACCESS_DENIED, 0, 1);
    return !deleteRegistryKey(path.c_str());
}
const std::string kWriteFailed =
    std::string("Failed setting registry key: ") + kKey + "v error code: ";
const std::string kDeleteFailed = "Failed to delete registry key: ";
const std::string kDenied = " code: 5 system message: Access is denied.";
const std::string kInvalid = " code: 87 system message: The parameter is incorrect.";

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryFailure,
    testing::Values(
        std::make_tuple([] { return writeFails("RegCreateKeyExW", 5, REG_SZ); },
                        kWriteFailed + "5 error message: Access is denied.", 2),
        std::make_tuple([] { return writeFails("RegSetValueExW", 1018, REG_DWORD); },
                        kWriteFailed + "1018 error message: Illegal operation attempted on a "
                                       "registry key that has been marked for deletion.",
                        2),
        // Part of the bytes would be a corrupt value: none are written.
        std::make_tuple(
            [] {
                OrvaneTest::FailAllocation heap(0);
                return writeFails("none", 0, REG_BINARY);
            },
            kWriteFailed + "8 error message: Not enough memory resources are available to "
                           "process this command.",
            2),
        std::make_tuple([] { return deleteFails(sub("a"), "RegDeleteKeyW"); },
                        kDeleteFailed + sub("a") + kDenied, 2),
        std::make_tuple([] { return deleteFails(kKey, "RegDeleteTreeW"); },
                        kDeleteFailed + kKey + kDenied, 2),
        // Neither an empty path nor backslashes may take the whole hive.
        std::make_tuple([] { return deleteFails("", "none"); }, kDeleteFailed + kInvalid, 2),
        std::make_tuple([] { return deleteFails("\\\\", "none"); },
                        kDeleteFailed + "\\\\" + kInvalid, 2),
        std::make_tuple([] { return getRegistrySubkeys(sub("c").c_str()).getCount() == 0; },
                        "Cannot open the key '" + sub("c") + "'!!", 0),
        std::make_tuple(
            [] {
                palInjectFault("RegEnumKeyExW", 1018, 1, 1);
                return names(getRegistrySubkeys(kKey)) == std::vector<std::string>{"a"};
            },
            std::string("Cannot go on listing subkeys, error code: 1018"), 0)));

TEST_F(Registry, ShortPathsAndNamesCostNoHeap) {
    TString missing("Software\\OrvaneTest\\None"), name("v");
    OrvaneTest::AllocationCount count;
    bool written = writeRegistryValue(kKey, "v", "42", REG_DWORD);
    bool empty = readRegistryValue(missing, name, REG_DWORD).isEmpty();
    size_t allocations = count.count();
    EXPECT_TRUE(written && empty);
    EXPECT_EQ(allocations, 0u);
}

TEST_F(Registry, DeletionTakesTheTreeAndMissingKeysAreDeleted) {
    ASSERT_TRUE(writeRegistryValue(sub("A\\B").c_str(), "v", "1", REG_SZ));
    EXPECT_TRUE(deleteRegistryKey(kKey));
    EXPECT_FALSE(exists(kKey));
    EXPECT_TRUE(deleteRegistryKey(kKey));
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

TEST_F(Registry, SubkeysInEnumerationOrderAlsoBeyond128Characters) {
    std::vector<std::string> all{"A", "b", std::string(200, 'n'), std::string(255, 'z')};
    for (const std::string& name : {all[1], all[3], all[0], all[2]}) {
        ASSERT_TRUE(writeRegistryValue(sub(name).c_str(), "v", "1", REG_SZ));
    }
    EXPECT_EQ(names(getRegistrySubkeys(kKey)), all);
}

TEST_F(Registry, ForEachSubkeyGoesFromLastToFirstSoThatItMayDelete) {
    for (const char* name : {"b", "c", "a"}) {
        ASSERT_TRUE(writeRegistryValue(sub(name).c_str(), "v", "1", REG_SZ));
    }
    std::string seen;
    auto remove = [&seen](HKEY key, const TString& name) {
        seen += name.c_str();
        EXPECT_EQ(RegDeleteKeyW(key, TWideText(name.c_str()).get()), ERROR_SUCCESS);
    };
    EXPECT_TRUE(forEachRegistrySubkey(kKey, remove, KEY_READ));
    EXPECT_TRUE(forEachRegistrySubkey(kKey, remove, KEY_READ));
    EXPECT_EQ(seen, "cba");
    EXPECT_FALSE(forEachRegistrySubkey(kKey, nullptr, KEY_READ));
    EXPECT_FALSE(forEachRegistrySubkey(sub("none").c_str(), ignore, KEY_READ));
}

TEST_F(Registry, ErrorTextIsTheSystemsFirstLine) {
    EXPECT_EQ(getWindowsErrorText(2), TString("The system cannot find the file specified."));
    EXPECT_EQ(getWindowsErrorText(0x7FFF1234), TString("Unknown error."));
    palInjectFault("FormatMessageW", ERROR_NOT_ENOUGH_MEMORY, 0, 1);
    EXPECT_EQ(getWindowsErrorText(2), TString("Unknown error."));
}

}  // namespace
