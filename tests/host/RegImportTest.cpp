// Reading Registry Editor files into changes, without a registry.
#include "tools/orvane/RegImport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace OrvaneHost;

const std::string kRecord = "Software\\Orvane\\Client\\Applications\\A";
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App A";

std::string file(const std::string& body) {
    return "Windows Registry Editor Version 5.00\r\n\r\n" + body;
}

std::string utf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::vector<BYTE> bytes(std::initializer_list<int> values) {
    return std::vector<BYTE>(values.begin(), values.end());
}

TEST(RegImport, ReadsEveryFormThatAnExportWrites) {
    const TRegImport read =
        readRegFile(file("; a comment\r\n"
                         "[HKEY_CURRENT_USER\\" +
                         kRecord +
                         "\\]\r\n"
                         "@=\"C:\\\\Client\"\r\n"
                         "\"Say \\\"hi\\\"\" = \"a\\\\b\"\r\n"
                         "\"UPID\"=dword:FFFFFFFB\r\n"
                         "\"Old\"=-\r\n"
                         "\"Bin\"=hex:01,ff,\\\r\n"
                         "    10\r\n"
                         "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
                         "\"Empty\"=hex(2):\r\n"
                         "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                         "\r\n"
                         "[-hkey_current_user\\" +
                         kEntry + "]\r\n"));
    ASSERT_TRUE(read.ok()) << read.errorLine << ": " << read.error;
    ASSERT_EQ(read.keys.size(), 2u);
    const TKeyChange& record = read.keys[0];
    EXPECT_EQ(record.line, 4);
    EXPECT_EQ(record.path, kRecord);
    EXPECT_FALSE(record.remove);
    struct TExpected {
        const char* name;
        bool remove;
        DWORD type;
        std::vector<BYTE> data;
    };
    const TExpected expected[] = {
        {"", false, REG_SZ,
         bytes({'C', 0, ':', 0, '\\', 0, 'C', 0, 'l', 0, 'i', 0, 'e', 0, 'n', 0, 't', 0, 0, 0})},
        {"Say \"hi\"", false, REG_SZ, bytes({'a', 0, '\\', 0, 'b', 0, 0, 0})},
        {"UPID", false, REG_DWORD, bytes({0xFB, 0xFF, 0xFF, 0xFF})},
        {"Old", true, 0, {}},
        {"Bin", false, REG_BINARY, bytes({0x01, 0xFF, 0x10})},
        {"Multi", false, REG_MULTI_SZ, bytes({0x41, 0, 0, 0, 0, 0})},
        {"Empty", false, REG_EXPAND_SZ, {}},
        {"Big", false, REG_QWORD, bytes({1, 0, 0, 0, 0, 0, 0, 0})},
    };
    ASSERT_EQ(record.values.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        const TValueChange& change = record.values[i];
        EXPECT_EQ(change.value.name, expected[i].name);
        EXPECT_EQ(change.remove, expected[i].remove);
        if (!change.remove) {
            EXPECT_EQ(change.value.type, expected[i].type);
            EXPECT_EQ(change.value.data, expected[i].data);
        }
    }
    EXPECT_EQ(read.keys[1].line, 15);
    EXPECT_EQ(read.keys[1].path, kEntry);
    EXPECT_TRUE(read.keys[1].remove);
}

// The same changes from UTF-16 with its byte order mark, UTF-8 with one, and REGEDIT4.
TEST(RegImport, ReadsEachEncodingAndHeader) {
    const std::string body = "[HKEY_CURRENT_USER\\" + kRecord + "]\r\n\"Path\"=\"p\"\r\n";
    const TRegImport plain = readRegFile(file(body));
    ASSERT_TRUE(plain.ok());
    for (const std::string& text : {utf16(file(body)), "\xEF\xBB\xBF" + file(body),
                                    "REGEDIT4\n\n" + body, "\r\n" + file(body)}) {
        const TRegImport read = readRegFile(text);
        ASSERT_TRUE(read.ok()) << read.error;
        ASSERT_EQ(read.keys.size(), 1u);
        EXPECT_EQ(read.keys[0].path, kRecord);
        ASSERT_EQ(read.keys[0].values.size(), 1u);
        EXPECT_EQ(read.keys[0].values[0].value.data, plain.keys[0].values[0].value.data);
    }
}

struct TBadFile {
    const char* body;  // after the header line and a blank line
    int line;
    const char* says;
};

class RegImportRefuses : public testing::TestWithParam<TBadFile> {};

// The first fault ends the reading with its line; no change is kept.
TEST_P(RegImportRefuses, TheFaultWithItsLine) {
    const std::string key = "[HKEY_CURRENT_USER\\" + kRecord + "]\r\n";
    const TRegImport read = readRegFile(file(key + GetParam().body));
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.errorLine, GetParam().line);
    EXPECT_NE(read.error.find(GetParam().says), std::string::npos) << read.error;
    EXPECT_TRUE(read.keys.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegImportRefuses,
    testing::Values(
        TBadFile{"\"A\"=qword:0000000000000001\r\n", 4, "unknown value type"},
        TBadFile{"\"A\"=hex(c):00\r\n", 4, "unknown value type"},
        TBadFile{"\"A\"=hex(zz):00\r\n", 4, "hexadecimal type"},
        TBadFile{"\"A\"=dword:123456789\r\n", 4, "1 to 8"},
        TBadFile{"\"A\"=dword:\r\n", 4, "1 to 8"}, TBadFile{"\"A\"=dword:12x4\r\n", 4, "1 to 8"},
        TBadFile{"\"A\"=hex:01,,02\r\n", 4, "not a byte"},
        TBadFile{"\"A\"=hex:01,\\\r\n 123\r\n", 4, "not a byte"},
        TBadFile{"\"A\"=hex:01,\r\n", 4, "not a byte"},
        TBadFile{"\"A\"=\"open\r\n", 4, "no closing quote"},
        TBadFile{"\"A\"=\"a\\nb\"\r\n", 4, "backslash"},
        TBadFile{"\"A\"=\"a\" b\r\n", 4, "after the closing quote"},
        TBadFile{"\"A\" \"b\"\r\n", 4, "\"=\" expected"},
        TBadFile{"A=\"b\"\r\n", 4, "must start with"},
        TBadFile{"\"A\"=\r\n", 4, "unknown value type"},
        TBadFile{"\r\n[HKEY_CURRENT_USER\\Software\\Orvane\\Client\r\n", 5, "must end with"},
        TBadFile{"[HKEY_LOCAL_MACHINE\\Software\\Orvane\\Client]\r\n", 4, "not below"},
        TBadFile{"[HKEY_CURRENT_USER]\r\n", 4, "not below"},
        TBadFile{"[HKEY_CURRENT_USER\\Software\\Orvane\\ClientX]\r\n", 4, "not one of"},
        TBadFile{"[HKEY_CURRENT_USER\\Software\\Orvane\\Client\\\\A]\r\n", 4, "not one of"},
        TBadFile{
            "[-HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n", 4,
            "not one of"},
        TBadFile{"\"A\"=\"b\"\r\n[-HKEY_CURRENT_USER\\Software\\Orvane\\Client\\X]\r\n\"B\"=-\r\n",
                 6, "deleted key"}));

TEST(RegImport, RefusesAFileWithoutHeaderOrKey) {
    const std::pair<std::string, int> files[] = {
        {"", 1},
        {"\r\n\r\nREGEDIT 4\r\n", 3},
        {"Windows Registry Editor Version 5.00\r\n\"A\"=\"b\"\r\n", 2},
    };
    for (const auto& [text, line] : files) {
        EXPECT_EQ(readRegFile(text).errorLine, line) << text;
    }
}

TEST(RegImport, AcceptsOnlyTheRecordKeys) {
    const std::pair<const char*, bool> keys[] = {
        {"Software\\Orvane\\Client", true},
        {"software\\orvane\\client\\Applications\\A\\Packages\\dlc", true},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App 42", true},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\orvane app 42\\Sub", true},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App ", false},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App \\X", false},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", false},
        {"Software\\Orvane", false},
        {"Software\\Orvane\\Clients", false},
    };
    for (const auto& [key, accepted] : keys) {
        EXPECT_EQ(isRecordKey(key), accepted) << key;
    }
}

}  // namespace
