#include "platform/Registry.h"

#include "Common/General/TLogSystem.h"

#include "win32/RegistryKey.h"

#include "support/AllocationCounter.h"
#include "support/LogHook.h"
#include "support/RegistryOverride.h"
#include "support/Wine.h"

#ifndef _WIN32
#include "pal/inc/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <tuple>

using namespace OrvaneLib;

namespace {

const std::string kKey = "Software\\OrvaneTest\\K";
const auto ignore = [](HKEY, const TString&) {};

const auto sub = [](const std::string& name) { return kKey + "\\" + name; };
// The type and bytes of the value v of kKey as stored; type 0 when it is missing.
std::pair<DWORD, std::string> stored() {
    TRegistryKey key;
    DWORD type = 0;
    char data[64];
    DWORD size = sizeof data;
    if (key.open(HKEY_CURRENT_USER, TWideText(kKey.c_str()).get(), KEY_READ) != 0 ||
        RegQueryValueExW(key.get(), W("v"), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            0) {
        type = size = 0;
    }
    return {type, std::string(data, size)};
}
std::vector<std::string> subkeys(const std::string& path = kKey) {
    TArray<TString> array = getRegistrySubkeys(path.c_str());
    std::vector<std::string> found;
    for (uint32_t i = 0; i < array.getCount(); ++i) {
        found.push_back(array.get(i).c_str());
    }
    return found;
}
bool write(const std::string& path, const char* text = "1", uint32_t type = REG_SZ) {
    return writeRegistryValue(path.c_str(), "v", text, type);
}

// A temporary key for HKEY_CURRENT_USER and a fresh log that reaches this executable's
// outputLogString.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, registry.start());
        logSystem = std::make_shared<TLogSystem>();
        logSystem->addStrategy(new TCurrentProcessLogStrategy("Orvane.dll"));
        OrvaneTest::clearLoggedLines();
    }
    // The only line logged, if text is not empty: text and level (0 for notes, 2 for the
    // logged-only reports). Wine words the system's messages differently: there they are left out
    // of the comparison.
    static void expectLine(const std::string& text, int level = 0) {
        auto lines = OrvaneTest::loggedLines();
        ASSERT_EQ(lines.size(), text.empty() ? 0u : 1u);
        if (!text.empty()) {
            const size_t message = text.rfind("message: ");
            const size_t compared = OrvaneTest::runningUnderWine() && message != std::string::npos
                                        ? message + 9
                                        : std::string::npos;
            EXPECT_EQ(lines[0].text.substr(0, compared), (text + "\n").substr(0, compared));
            EXPECT_EQ(lines[0].module + " " + std::to_string(lines[0].level),
                      "Orvane.dll " + std::to_string(level));
        }
    }
    void TearDown() override {
#ifndef _WIN32
        palClearFaults();
#endif
        EXPECT_EQ(ERROR_SUCCESS, registry.stop());
    }

    OrvaneTest::TRegistryOverride registry;
};

// Bytes (written as hexadecimal) read as a type: the text, and the type named in the log line if
// the data are too big for it.
using ReadCase = std::tuple<const char*, uint32_t, const char*, const char*>;
class RegistryRead : public Registry, public testing::WithParamInterface<ReadCase> {};

TEST_P(RegistryRead, TypeAskedForChoosesTheTextForm) {
    auto [bytes, type, text, tooBig] = GetParam();
    ASSERT_TRUE(write(kKey, bytes, REG_BINARY));
    EXPECT_STREQ(readRegistryValue(kKey.c_str(), "v", type).c_str(), text);
    expectLine(*tooBig ? "Trying to read " + std::string(tooBig) + " while it is something bigger!"
                       : "");
}
INSTANTIATE_TEST_SUITE_P(Table, RegistryRead,
                         testing::Values(ReadCase{"6100E9000000", REG_SZ, "a\xC3\xA9", ""},
                                         ReadCase{"61000000620000", REG_SZ, "a", ""},
                                         ReadCase{"780079", REG_EXPAND_SZ, "xy", ""},
                                         ReadCase{"FFFFFFFF", REG_DWORD, "4294967295", ""},
                                         ReadCase{"35000000", REG_DWORD, "53", ""},
                                         ReadCase{"0102", REG_BINARY, "513", ""},
                                         ReadCase{"0000000001", REG_DWORD, "", "DWORD"},
                                         ReadCase{"FEFFFFFFFFFFFFFF", REG_QWORD, "-2", ""},
                                         ReadCase{"010101010101010101", REG_QWORD, "", "QWORD"},
                                         ReadCase{"01AB", REG_MULTI_SZ, "01AB", ""},
                                         ReadCase{"01000000", REG_DWORD_BIG_ENDIAN, "", ""}));

// Texts on either side of the length read in one call, stored with their terminator, without it,
// and with an odd last byte: each is read whole, and ends where its data end.
class RegistryTextLength : public Registry, public testing::WithParamInterface<int> {};

TEST_P(RegistryTextLength, IsReadWhole) {
    const int length = GetParam();
    std::string hex, text;
    for (int i = 0; i < length; ++i) {
        hex += i % 2 == 0 ? "6100" : "E900";
        text += i % 2 == 0 ? "a" : "\xC3\xA9";
    }
    const std::pair<std::string, std::string> cases[] = {
        {hex + "0000", text}, {hex, text}, {hex + "62", text + "b"}};
    for (const auto& [stored, read] : cases) {
        ASSERT_TRUE(write(kKey, stored.c_str(), REG_BINARY));
        EXPECT_EQ(readRegistryValue(kKey.c_str(), "v", REG_SZ).c_str(), read) << stored.size();
    }
    expectLine("");
}
INSTANTIATE_TEST_SUITE_P(Lengths, RegistryTextLength, testing::Values(1, 259, 260, 261, 5000));

// A text written as a type: the bytes stored with that type; none for a type without a data form.
using WriteCase = std::tuple<const char*, uint32_t, std::string>;
class RegistryWrite : public Registry, public testing::WithParamInterface<WriteCase> {};

TEST_P(RegistryWrite, TypeGivenChoosesTheDataForm) {
    auto [text, type, bytes] = GetParam();
    EXPECT_TRUE(write(kKey, text, type));
    EXPECT_TRUE(forEachRegistrySubkey(kKey.c_str(), ignore, KEY_READ));
    EXPECT_EQ(stored(), std::make_pair(DWORD{type == REG_DWORD_BIG_ENDIAN ? 0 : type}, bytes));
}
INSTANTIATE_TEST_SUITE_P(
    Table, RegistryWrite,
    testing::Values(WriteCase{"a\xC3\xA9", REG_SZ, std::string("a\0\xE9\0\0\0", 6)},
                    WriteCase{"-1", REG_DWORD, "\xFF\xFF\xFF\xFF"},
                    WriteCase{"3000000000", REG_DWORD, "\xFF\xFF\xFF\x7F"},
                    WriteCase{"-3000000000", REG_DWORD, std::string("\0\0\0\x80", 4)},
                    WriteCase{"abc", REG_DWORD, std::string(4, '\0')},
                    WriteCase{" +258x", REG_DWORD, std::string("\x02\x01\0\0", 4)},
                    WriteCase{"A0ff1", REG_BINARY, "\xA0\xFF\x10"},
                    WriteCase{"zz01", REG_MULTI_SZ, std::string("\0\x01", 2)},
                    WriteCase{"7", REG_EXPAND_SZ, "\x70"},
                    WriteCase{"0102030405060708", REG_QWORD, "\1\2\3\4\5\6\7\x8"},
                    WriteCase{"1", REG_DWORD_BIG_ENDIAN, ""}));

TEST_F(Registry, EmptyTextOrMissingDataChangeAndLogNothing) {
    EXPECT_FALSE(write(kKey, ""));
    EXPECT_FALSE(forEachRegistrySubkey(kKey.c_str(), ignore, KEY_READ));
    ASSERT_TRUE(writeRegistryValue(kKey.c_str(), "", "7", REG_DWORD));
    EXPECT_FALSE(writeRegistryValue(kKey.c_str(), "", "", REG_DWORD));
    EXPECT_EQ(readRegistryValue(kKey.c_str(), "", REG_DWORD), TString("7"));
    EXPECT_TRUE(readRegistryValue(kKey.c_str(), "v", REG_DWORD).isEmpty());
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

// A failing step and the line it logs: the system call that fails ("none": no call) with its
// code, on the PAL after as many successful calls as skipped, and the step giving its expected
// result. Each starts with kKey\a and kKey\b; none may change anything.
using FailureCase = std::tuple<const char*, LONG, int, std::function<bool()>, std::string, int>;
class RegistryFailure : public Registry, public testing::WithParamInterface<FailureCase> {};

TEST_P(RegistryFailure, IsLoggedAndChangesNothing) {
    auto [call, code, skipped, failed, line, level] = GetParam();
    ASSERT_TRUE(write(sub("a")) && write(sub("b")));
    OrvaneTest::clearLoggedLines();
#ifndef _WIN32
    palInjectFault(call, code, skipped, 1);
#endif
    EXPECT_TRUE(failed());
    expectLine(line, level);
    EXPECT_EQ(subkeys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(stored().first, 0u);
}

const auto writeFails = [](uint32_t type) { return [type] { return !write(kKey, "A0", type); }; };
const auto deleteFails = [](std::string path) {
    return [path] { return !deleteRegistryKey(path.c_str()); };
};
const std::string kWriteFailed = "Failed setting registry key: " + kKey + "v error code: ";
const std::string kDeleteFailed = "Failed to delete registry key: ";
const std::string kDenied = " code: 5 system message: Access is denied.";
const std::string kInvalid = " code: 87 system message: The parameter is incorrect.";

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryFailure,
    testing::Values(
        // Part of the bytes would be a corrupt value: none are written.
        FailureCase{"none", 0, 0,
                    [] {
                        OrvaneTest::FailAllocation heap(0);
                        return writeFails(REG_BINARY)();
                    },
                    kWriteFailed + "8 error message: Not enough memory resources are available "
                                   "to process this command.",
                    2},
        // Neither an empty path nor backslashes may take the whole hive.
        FailureCase{"none", 0, 0, deleteFails(""), kDeleteFailed + kInvalid, 2},
        FailureCase{"none", 0, 0, deleteFails("\\\\"), kDeleteFailed + "\\\\" + kInvalid, 2},
        FailureCase{"none", 0, 0, [] { return subkeys(sub("c")).empty(); },
                    "Cannot open the key '" + sub("c") + "'!!", 0}));

#ifndef _WIN32
// Failures of the system calls themselves.
INSTANTIATE_TEST_SUITE_P(
    Faults, RegistryFailure,
    testing::Values(
        FailureCase{"RegCreateKeyExW", 5, 0, writeFails(REG_SZ),
                    kWriteFailed + "5 error message: Access is denied.", 2},
        FailureCase{"RegSetValueExW", 1018, 0, writeFails(REG_DWORD),
                    kWriteFailed + "1018 error message: Illegal operation attempted on a registry "
                                   "key that has been marked for deletion.",
                    2},
        FailureCase{"RegDeleteKeyW", 5, 0, deleteFails(sub("a")),
                    kDeleteFailed + sub("a") + kDenied, 2},
        FailureCase{"RegDeleteTreeW", 5, 0, deleteFails(kKey), kDeleteFailed + kKey + kDenied, 2},
        FailureCase{"RegEnumKeyExW", 1018, 1,
                    [] { return subkeys() == std::vector<std::string>{"a"}; },
                    "Cannot go on listing subkeys, error code: 1018", 0}));
#endif

TEST_F(Registry, ShortPathsAndNamesCostNoHeap) {
    TString missing("Software\\OrvaneTest\\None"), name("v");
    OrvaneTest::AllocationCount count;
    bool written = writeRegistryValue(kKey.c_str(), "v", "42", REG_DWORD);
    bool empty = readRegistryValue(missing, name, REG_DWORD).isEmpty();
    size_t allocations = count.count();
    EXPECT_TRUE(written && empty);
    EXPECT_EQ(allocations, 0u);
}

// Subkeys are listed in enumeration order, also beyond 128 characters; forEachRegistrySubkey goes
// from the last to the first so that it may delete them; deletion takes the tree.
TEST_F(Registry, SubkeysAreListedVisitedAndDeleted) {
    std::vector<std::string> all{"A", "b", std::string(200, 'n'), std::string(255, 'z')};
    for (const std::string& name : {all[1], all[3], all[0], all[2]}) {
        ASSERT_TRUE(write(sub(name)));
    }
    EXPECT_EQ(subkeys(), all);
    std::vector<std::string> seen;
    auto remove = [&seen](HKEY key, const TString& name) {
        seen.push_back(name.c_str());
        EXPECT_EQ(RegDeleteKeyW(key, TWideText(name.c_str()).get()), ERROR_SUCCESS);
    };
    EXPECT_TRUE(forEachRegistrySubkey(kKey.c_str(), remove, KEY_READ));
    EXPECT_TRUE(forEachRegistrySubkey(kKey.c_str(), remove, KEY_READ));
    EXPECT_EQ(seen, std::vector<std::string>(all.rbegin(), all.rend()));
    EXPECT_FALSE(forEachRegistrySubkey(kKey.c_str(), nullptr, KEY_READ));
    EXPECT_FALSE(forEachRegistrySubkey(sub("none").c_str(), ignore, KEY_READ));

    ASSERT_TRUE(write(sub("A\\B")));
    EXPECT_TRUE(deleteRegistryKey(kKey.c_str()));
    EXPECT_FALSE(forEachRegistrySubkey(kKey.c_str(), ignore, KEY_READ));
    EXPECT_TRUE(deleteRegistryKey(kKey.c_str()));
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

TEST_F(Registry, ErrorTextOfAnUnknownCodeOrFailedLookupIsUnknownError) {
    EXPECT_EQ(getWindowsErrorText(0x7FFF1234), TString("Unknown error."));
#ifndef _WIN32
    palInjectFault("FormatMessageW", ERROR_NOT_ENOUGH_MEMORY, 0, 1);
    EXPECT_EQ(getWindowsErrorText(2), TString("Unknown error."));
#endif
}

}  // namespace
