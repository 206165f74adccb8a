// The registry functions as Windows defines them, through the Windows API alone, so that the same
// file runs against the PAL and against a real registry. Everything happens below
// HKCU\Software\OrvaneTest, which each test starts and ends without, with HKEY_CURRENT_USER
// pointed at a temporary key of its own.
#include "support/RegistryOverride.h"
#include "support/Wine.h"
#include "win32/RegistryKey.h"

#ifndef _WIN32
#include "pal/inc/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

using OrvaneLib::TRegistryKey;
using OrvaneTest::runningUnderWine;
typedef std::basic_string<WCHAR> TWide;
typedef std::vector<TWide> TNames;
typedef std::vector<DWORD> TNumbers;

const WCHAR* const testRoot = W("Software\\OrvaneTest");

// Opens (or creates) the subkey and closes it again.
LONG touch(HKEY key, const WCHAR* path, REGSAM openWith = 0) {
    TRegistryKey made;
    return openWith != 0 ? made.open(key, path, openWith) : made.create(key, path, KEY_READ);
}
// The names of the subkeys (or values) from index 0 until the enumeration fails.
TNames names(HKEY key, bool ofValues = false) {
    TNames found;
    WCHAR name[300];
    for (DWORD index = 0, length = 300;; ++index, length = 300) {
        if ((ofValues ? RegEnumValueW(key, index, name, &length, 0, 0, 0, 0)
                      : RegEnumKeyExW(key, index, name, &length, 0, 0, 0, 0)) != ERROR_SUCCESS) {
            return found;
        }
        found.emplace_back(name, length);
    }
}
LONG set(HKEY key, const WCHAR* name, const std::string& data, DWORD type = REG_BINARY) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}
// Subkeys, longest subkey name, values, longest value name, longest data.
TNumbers info(HKEY key) {
    TNumbers got(5, 99);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &got[0], &got[1], nullptr, &got[2],
                               &got[3], &got[4], nullptr, nullptr));
    return got;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, registry.start());
        ASSERT_EQ(ERROR_SUCCESS, rootKey.create(HKEY_CURRENT_USER, testRoot, KEY_ALL_ACCESS));
        root = rootKey.get();
    }
    void TearDown() override {
        rootKey.close();
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, testRoot));
        EXPECT_EQ(ERROR_SUCCESS, registry.stop());
    }
    LONG create(const WCHAR* path, HKEY* key, DWORD* disposition = nullptr) {
        return RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key,
                               disposition);
    }
    LONG exists(const WCHAR* path) { return touch(root, path, KEY_READ); }
    // Whether HKEY_CURRENT_USER is still the fixture's temporary key, which the real one holds.
    bool overridden() {
        return touch(HKEY_CURRENT_USER, registry.path().c_str(), KEY_READ) ==
                   ERROR_FILE_NOT_FOUND &&
               touch(HKEY_CURRENT_USER, testRoot, KEY_READ) == ERROR_SUCCESS;
    }

    OrvaneTest::TRegistryOverride registry;
    TRegistryKey rootKey;
    HKEY root = nullptr;
};

TEST_F(RegistryTest, KeysAreMadeWithTheirParentsAndPathsFollowWindowsSyntax) {
    TRegistryKey key, again;
    HKEY missing = root;
    DWORD made = 0, opened = 0;
    ASSERT_EQ(ERROR_SUCCESS, create(W("a\\b\\c"), key.receive(), &made));
    ASSERT_EQ(ERROR_SUCCESS, create(W("A\\b\\c"), again.receive(), &opened));
    EXPECT_EQ((TNumbers{REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}), (TNumbers{made, opened}));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(root, W("a\\x"), 0, KEY_READ, &missing));
    EXPECT_EQ(nullptr, missing);

    EXPECT_EQ(ERROR_BAD_PATHNAME, create(W("\\lead"), key.receive()));
    EXPECT_EQ(ERROR_BAD_PATHNAME, exists(W("\\lead")));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteKeyW(root, W("\\lead")));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteTreeW(root, W("\\lead")));
    EXPECT_EQ(ERROR_SUCCESS, touch(root, W("trailing\\")));
    EXPECT_EQ(ERROR_SUCCESS, touch(root, W("p\\\\q")));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("p\\q\\\\")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("trailing\\")));
    EXPECT_EQ((TNames{W("a"), W("p")}), names(root));

    const TWide longest(255, W('n'));
    EXPECT_EQ(ERROR_SUCCESS, touch(root, longest.c_str()));
    if (!runningUnderWine()) {  // Wine accepts key names longer than 255 characters
        EXPECT_EQ(ERROR_INVALID_PARAMETER, touch(root, (W("x\\") + longest + W("n")).c_str()));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(W("x")));
    }
}

// Names match whatever their case and keep the case they were made with. Windows orders subkeys
// by their upper-case names, so "_" (0x5F) comes after every letter.
TEST_F(RegistryTest, SubkeysMatchAndEnumerateByTheirUpperCaseNames) {
    for (const WCHAR* name : {W("b"), W("_x"), W("A"), W("a1"), W("Zed"), W("z2"), W("~"), W("["),
                              W("\u00ff"), W("\u0101"), W("\u03a3igma")}) {
        ASSERT_EQ(ERROR_SUCCESS, touch(root, name));
    }
    EXPECT_EQ(ERROR_SUCCESS, exists(W("ZED")));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("\u0178")));
    EXPECT_EQ(ERROR_SUCCESS, exists(W("\u03c3IGMA")));
    if (!runningUnderWine()) {  // Wine orders subkeys by their lower-case names
        EXPECT_EQ((TNames{W("A"), W("a1"), W("b"), W("z2"), W("Zed"), W("["), W("_x"), W("~"),
                          W("\u0101"), W("\u00ff"), W("\u03a3igma")}),
                  names(root));
    }
}

// A step of a listing by index: an optional change, then the index asked for and the name
// expected there (empty: no more items), or, with countOnly, the count RegQueryInfoKeyW gives.
struct TListingStep {
    std::function<void(HKEY)> change;
    DWORD index;
    const WCHAR* expected;
    bool countOnly = false;
};

struct TListingCase {
    const char* title;
    bool ofValues;
    std::vector<TListingStep> steps;
};

void none(HKEY) {}
std::function<void(HKEY)> addKey(const WCHAR* name) {
    return [name](HKEY key) { EXPECT_EQ(ERROR_SUCCESS, touch(key, name)); };
}
std::function<void(HKEY)> removeKey(const WCHAR* name) {
    return [name](HKEY key) { EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key, name)); };
}
std::function<void(HKEY)> setValue(const WCHAR* name) {
    return [name](HKEY key) { EXPECT_EQ(ERROR_SUCCESS, set(key, name, "x")); };
}
std::function<void(HKEY)> removeValue(const WCHAR* name) {
    return [name](HKEY key) { EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, name)); };
}

class RegistryListing : public RegistryTest, public ::testing::WithParamInterface<TListingCase> {};

// An index counts the items there are at the time of the call, also when some were added or
// removed since the previous index of the same listing, whichever way the listing goes.
TEST_P(RegistryListing, IndexesFollowChangesMadeDuringAListing) {
    const TListingCase& listing = GetParam();
    for (const WCHAR* name : {W("a"), W("b"), W("c"), W("d"), W("e")}) {
        ASSERT_EQ(ERROR_SUCCESS, listing.ofValues ? set(root, name, "x") : touch(root, name));
    }
    for (size_t number = 0; number < listing.steps.size(); ++number) {
        const TListingStep& step = listing.steps[number];
        step.change(root);
        if (step.countOnly) {
            EXPECT_EQ(step.index, info(root)[listing.ofValues ? 2 : 0]) << "step " << number;
            continue;
        }
        WCHAR name[16];
        DWORD length = 16;
        const LONG status = listing.ofValues
                                ? RegEnumValueW(root, step.index, name, &length, 0, 0, 0, 0)
                                : RegEnumKeyExW(root, step.index, name, &length, 0, 0, 0, 0);
        EXPECT_EQ(status == ERROR_SUCCESS ? TWide(name, length) : TWide(), TWide(step.expected))
            << "step " << number;
    }
}

INSTANTIATE_TEST_SUITE_P(ByIndex, RegistryListing,
                         ::testing::Values(TListingCase{"SubkeysUp",
                                                        false,
                                                        {{none, 0, W("a")},
                                                         {none, 1, W("b")},
                                                         {none, 1, W("b")},
                                                         {removeKey(W("c")), 2, W("d")},
                                                         {addKey(W("b2")), 2, W("b2")},
                                                         {none, 3, W("d")},
                                                         {none, 4, W("e")},
                                                         {none, 5, W("")}}},
                                           TListingCase{"SubkeysDown",
                                                        false,
                                                        {{none, 5, nullptr, true},
                                                         {none, 4, W("e")},
                                                         {none, 3, W("d")},
                                                         {removeKey(W("d")), 2, W("c")},
                                                         {addKey(W("b2")), 2, W("b2")},
                                                         {none, 5, nullptr, true},
                                                         {none, 1, W("b")},
                                                         {none, 4, W("e")},
                                                         {removeKey(W("a")), 0, W("b")},
                                                         {none, 3, W("e")},
                                                         {none, 4, W("")}}},
                                           TListingCase{"ValuesUp",
                                                        true,
                                                        {{none, 0, W("a")},
                                                         {none, 1, W("b")},
                                                         {removeValue(W("c")), 2, W("d")},
                                                         {setValue(W("f")), 3, W("e")},
                                                         {setValue(W("b")), 4, W("f")},
                                                         {none, 4, W("f")},
                                                         {none, 5, W("")}}},
                                           TListingCase{"ValuesDown",
                                                        true,
                                                        {{none, 5, nullptr, true},
                                                         {none, 4, W("e")},
                                                         {none, 3, W("d")},
                                                         {removeValue(W("e")), 3, W("d")},
                                                         {setValue(W("f")), 5, nullptr, true},
                                                         {setValue(W("g")), 6, nullptr, true},
                                                         {none, 5, W("g")},
                                                         {none, 4, W("f")},
                                                         {none, 3, W("d")},
                                                         {removeValue(W("a")), 0, W("b")},
                                                         {none, 5, W("")}}}),
                         [](const ::testing::TestParamInfo<TListingCase>& info) {
                             return info.param.title;
                         });

TEST_F(RegistryTest, DeleteKeyRemovesALeafAndDeleteTreeASubtreeOrAKeysContent) {
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("parent\\child")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(root, W("parent")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("PARENT\\child")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(root, W("parent\\child")));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(root, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, W("")));

    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("parent\\a\\b")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(root, W("parent")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(root, W("parent")));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("a\\b")));
    ASSERT_EQ(ERROR_SUCCESS, set(root, nullptr, "x"));
    ASSERT_EQ(ERROR_SUCCESS, exists(W("a\\b")));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(root, nullptr));
    EXPECT_EQ((TNumbers{0, 0, 0, 0, 0}), info(root));
    // A path opened before is looked up afresh.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(W("a\\b")));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("a\\b")));
    TRegistryKey made;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, W("A\\B"), 0, KEY_ALL_ACCESS, made.receive()));
    EXPECT_EQ(ERROR_SUCCESS, set(made.get(), W("v"), "y"));
}

WCHAR nameBuffer[8];
DWORD nameLength;
// Every function that takes a handle, called on it.
const std::map<std::string, std::function<LONG(HKEY)>> everyKeyFunction = {
    {"RegOpenKeyExW", [](HKEY key) { return touch(key, W("sub"), KEY_READ); }},
    {"RegCreateKeyExW", [](HKEY key) { return touch(key, W("sub")); }},
    {"RegQueryValueExW", [](HKEY key) { return RegQueryValueExW(key, W("v"), 0, 0, 0, 0); }},
    {"RegSetValueExW", [](HKEY key) { return set(key, W("v"), "x"); }},
    {"RegEnumKeyExW",
     [](HKEY key) { return RegEnumKeyExW(key, 0, nameBuffer, &(nameLength = 8), 0, 0, 0, 0); }},
    {"RegEnumValueW",
     [](HKEY key) { return RegEnumValueW(key, 0, nameBuffer, &(nameLength = 8), 0, 0, 0, 0); }},
    {"RegQueryInfoKeyW",
     [](HKEY key) { return RegQueryInfoKeyW(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); }},
    {"RegDeleteValueW", [](HKEY key) { return RegDeleteValueW(key, W("v")); }},
    {"RegDeleteKeyW", [](HKEY key) { return RegDeleteKeyW(key, W("")); }},
    {"RegDeleteTreeW", [](HKEY key) { return RegDeleteTreeW(key, nullptr); }},
};

TEST_F(RegistryTest, InvalidAndDeletedHandlesAreRefused) {
    // Windows hands out the value of a closed handle again: the key that stays open is made first.
    TRegistryKey doomed;
    ASSERT_EQ(ERROR_SUCCESS, create(W("doomed"), doomed.receive()));
    HKEY closed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, W(""), 0, KEY_READ, &closed));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    // A key made again under the same name is another key: the old handle stays dead.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root, W("doomed")));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("doomed")));
    for (const auto& [function, call] : everyKeyFunction) {
        EXPECT_EQ((TNumbers{ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED}),
                  (TNumbers{DWORD(call(nullptr)), DWORD(call(closed)), DWORD(call(doomed.get()))}))
            << function;
    }
}

// Opening and creating subkeys ignore the rights of the parent handle, as on Windows; emptying a
// key needs the rights to enumerate it. Wine grants RegQueryInfoKeyW without them.
TEST_F(RegistryTest, HandlesAllowOnlyTheRightsTheyWereOpenedWith) {
    const std::tuple<std::string, REGSAM, LONG> cases[] = {
        {"RegSetValueExW", KEY_READ, ERROR_ACCESS_DENIED},
        {"RegDeleteValueW", KEY_READ, ERROR_ACCESS_DENIED},
        {"RegEnumValueW", KEY_READ, ERROR_SUCCESS},
        {"RegQueryInfoKeyW", KEY_READ, ERROR_SUCCESS},
        {"RegCreateKeyExW", KEY_READ, ERROR_SUCCESS},
        {"RegSetValueExW", KEY_WRITE, ERROR_SUCCESS},
        {"RegQueryValueExW", KEY_WRITE, ERROR_ACCESS_DENIED},
        {"RegEnumValueW", KEY_WRITE, ERROR_ACCESS_DENIED},
        {"RegQueryInfoKeyW", KEY_WRITE, runningUnderWine() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED},
        {"RegOpenKeyExW", KEY_WRITE, ERROR_SUCCESS},
        {"RegEnumKeyExW", KEY_QUERY_VALUE, ERROR_ACCESS_DENIED},
        {"RegDeleteTreeW", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
        {"RegDeleteTreeW", KEY_READ, ERROR_SUCCESS}};
    for (const auto& [name, access, expected] : cases) {
        ASSERT_EQ(ERROR_SUCCESS, touch(root, W("sub")));
        TRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.open(root, nullptr, access));
        const LONG result = everyKeyFunction.at(name)(key.get());
        const bool allowed = result != ERROR_ACCESS_DENIED && result != ERROR_INVALID_HANDLE;
        EXPECT_EQ(expected, allowed ? ERROR_SUCCESS : result) << name << " " << access;
        RegDeleteValueW(root, W("v"));
    }
}

TEST_F(RegistryTest, ValueNamesMatchWhateverTheirCaseUpToTheirLengthLimit) {
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("Name"), "1", REG_SZ));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("NAME"), "2"));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(root, W("name"), nullptr, &type, nullptr, nullptr));
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(TNames{W("Name")}, names(root, true));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(root, W("nAME")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(root, W("Name")));

    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(root, W("v"), 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(root, W("v"), 0, REG_BINARY, nullptr, 0));
    ASSERT_EQ(ERROR_SUCCESS, set(root, nullptr, "x"));

    const TWide longest(16383, W('v'));
    EXPECT_EQ(ERROR_SUCCESS, set(root, longest.c_str(), "0123456789"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, set(root, (longest + W("v")).c_str(), "x"));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("abcdef")));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("x")));
    EXPECT_EQ((TNumbers{2, 6, 3, 16383, 10}), info(root));
}

// A key with a few values and one with many, which a process may look up in different ways.
TEST_F(RegistryTest, EachOfAKeysValuesIsFoundByAnyCaseOfItsName) {
    for (int count : {3, 40}) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  create((W("many") + TWide(1, WCHAR('0' + count % 10))).c_str(), &key));
        TRegistryKey owned(key);
        ASSERT_EQ(ERROR_SUCCESS, set(key, W("Gr\u00f6\u00dfe"), "s"));
        for (int index = 0; index < count; ++index) {
            const std::string number = std::to_string(index);
            ASSERT_EQ(ERROR_SUCCESS,
                      set(key, (W("Value") + TWide(number.begin(), number.end())).c_str(), number));
        }
        for (int index = 0; index < count; ++index) {
            const std::string number = std::to_string(index);
            const TWide digits(number.begin(), number.end());
            for (const TWide& name : {W("VALUE") + digits, W("value") + digits}) {
                char data[8] = {};
                DWORD size = sizeof data;
                ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                                          reinterpret_cast<BYTE*>(data), &size));
                EXPECT_EQ(number, std::string(data, size));
            }
        }
        DWORD size = 0;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryValueExW(key, W("GR\u00d6\u00dfE"), nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(1u, size);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                  RegQueryValueExW(key, W("GROSSE"), nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                  RegQueryValueExW(key, W("Value"), nullptr, nullptr, nullptr, &size));
        const std::string past = std::to_string(count);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                  RegQueryValueExW(key, (W("value") + TWide(past.begin(), past.end())).c_str(),
                                   nullptr, nullptr, nullptr, &size));
    }
}

// Windows keeps values in the order they were first set.
TEST_F(RegistryTest, ValuesEnumerateInTheOrderTheyWereFirstSet) {
    if (runningUnderWine()) {
        GTEST_SKIP() << "Wine enumerates values sorted by name";
    }
    for (const WCHAR* name : {W("zz"), W("aa"), W("Mm"), W("bb")}) {
        ASSERT_EQ(ERROR_SUCCESS, set(root, name, "x"));
    }
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(root, W("aa")));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("ZZ"), "y"));
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("cc"), "z"));
    EXPECT_EQ((TNames{W("zz"), W("Mm"), W("bb"), W("cc")}), names(root, true));
}

// The override lends HKEY_CURRENT_USER the key and the rights of the handle, which may be closed
// afterwards; a null key gives HKEY_CURRENT_USER back. The fixture's override is put back at the
// end, so that the test still cleans up only below its temporary key.
TEST_F(RegistryTest, AnOverriddenCurrentUserWorksBelowItsNewKeyUntilRestored) {
    TRegistryKey home, readOnly;
    ASSERT_EQ(ERROR_SUCCESS, create(W("home"), home.receive()));
    ASSERT_EQ(ERROR_SUCCESS, readOnly.open(root, W("home"), KEY_READ));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, home.get()));
    ASSERT_EQ(ERROR_SUCCESS, home.close());
    const TNumbers below = {DWORD(touch(HKEY_CURRENT_USER, W("inside"))),
                            DWORD(set(HKEY_CURRENT_USER, W("v"), "x"))};
    const TNames seen = names(HKEY_CURRENT_USER);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, readOnly.get()));
    ASSERT_EQ(ERROR_SUCCESS, readOnly.close());
    const LONG refused = set(HKEY_CURRENT_USER, W("w"), "x");
    const TNames values = names(HKEY_CURRENT_USER, true);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, nullptr));
    const bool restored = !overridden();
    TRegistryKey temporary;
    ASSERT_EQ(ERROR_SUCCESS,
              temporary.open(HKEY_CURRENT_USER, registry.path().c_str(), KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, temporary.get()));

    EXPECT_EQ((TNumbers{ERROR_SUCCESS, ERROR_SUCCESS}), below);
    EXPECT_EQ(TNames{W("inside")}, seen);
    EXPECT_EQ(ERROR_ACCESS_DENIED, refused);
    EXPECT_EQ(TNames{W("v")}, values);
    EXPECT_TRUE(restored);
    EXPECT_EQ(ERROR_SUCCESS, exists(W("home\\inside")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, touch(HKEY_CURRENT_USER, W("inside"), KEY_READ));
}

TEST_F(RegistryTest, OverridingNeedsAnOpenKey) {
    HKEY closed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, create(W("home"), &closed));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOverridePredefKey(HKEY_CURRENT_USER, closed));
    EXPECT_TRUE(overridden());
#ifndef _WIN32
    // Windows lets every predefined key be overridden; the PAL has HKEY_CURRENT_USER alone.
    TRegistryKey home;
    ASSERT_EQ(ERROR_SUCCESS, create(W("home"), home.receive()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOverridePredefKey(HKEY_LOCAL_MACHINE, home.get()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOverridePredefKey(home.get(), home.get()));
    palInjectFault("RegOverridePredefKey", ERROR_OUTOFMEMORY, 0, 1);
    EXPECT_EQ(ERROR_OUTOFMEMORY, RegOverridePredefKey(HKEY_CURRENT_USER, home.get()));
    EXPECT_TRUE(overridden());
#endif
}

// Whether the handle still names an open key.
bool isOpen(HKEY key) {
    return RegQueryInfoKeyW(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) != ERROR_INVALID_HANDLE;
}

// One owner per handle: moving hands it on, release hands it out, and a failed open or create
// keeps the key held so far.
TEST_F(RegistryTest, AKeyTypeClosesTheHandleItOwnsOnce) {
    TRegistryKey first;
    ASSERT_EQ(ERROR_SUCCESS, first.create(root, W("a"), KEY_READ));
    const HKEY handle = first.get();
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, first.open(root, W("missing"), KEY_READ));
    EXPECT_EQ(ERROR_BAD_PATHNAME, first.create(root, W("\\lead"), KEY_READ));
    EXPECT_EQ(handle, first.get());
    TRegistryKey second(std::move(first));
    TRegistryKey third;
    ASSERT_EQ(ERROR_SUCCESS, third.open(root, W("a"), KEY_READ));
    const HKEY replaced = third.get();
    third = std::move(second);
    EXPECT_EQ((std::vector<bool>{false, false, true}),
              (std::vector<bool>{bool(first), bool(second), isOpen(handle)}));
    EXPECT_FALSE(isOpen(replaced));
    EXPECT_EQ(handle, third.get());

    const HKEY released = third.release();
    EXPECT_FALSE(third);
    EXPECT_EQ(ERROR_SUCCESS, third.close());
    EXPECT_TRUE(isOpen(released));
    TRegistryKey adopted(released);
    ASSERT_EQ(ERROR_SUCCESS, adopted.open(root, W("a"), KEY_READ));
    EXPECT_FALSE(isOpen(released));
    EXPECT_EQ(ERROR_SUCCESS, adopted.close());
    EXPECT_FALSE(adopted);
}

TEST_F(RegistryTest, TooSmallBuffersAreLeftAloneAndTheSizesReported) {
    ASSERT_EQ(ERROR_SUCCESS, set(root, W("Test"), "foobar"));
    ASSERT_EQ(ERROR_SUCCESS, touch(root, W("abcdef")));
    WCHAR name[8] = {W('x')};
    BYTE data[8] = {0xAB};
    DWORD type = 0, size = 4, length = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(root, W("Test"), nullptr, &type, data, &size));
    EXPECT_EQ((TNumbers{REG_BINARY, 6, 0xAB}), (TNumbers{type, size, data[0]}));
    // A subkey's name needs room for its terminator too, and no size is reported.
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(root, 0, name, &(length = 6), 0, 0, 0, 0));
    EXPECT_EQ((TNumbers{6, W('x')}), (TNumbers{length, name[0]}));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(root, 0, name, &(length = 7), 0, 0, 0, 0));
    EXPECT_EQ(TWide(W("abcdef")), TWide(name));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(root, W("Test"), 0, 0, data, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(root, W("Test"), &size, 0, 0, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(root, W("missing"), 0, 0, 0, &size));
    EXPECT_EQ(0u, size);
}

}  // namespace
