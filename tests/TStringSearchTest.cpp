#include "Common/General/TString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace OrvaneLib {
namespace {

TEST(TStringCompare, SignedBytesOrFoldedAsciiAndEmptyFirst) {
    EXPECT_EQ(TString("a").compare(TString("B"), true), 0x61 - 0x42);
    // a, b, case-sensitive, sign of the result
    using Case = std::tuple<const char*, const char*, bool, int>;
    for (auto [a, b, caseSensitive, expected] :
         {Case{"\xC3\xA9", "z", true, -1}, Case{"ab", "abc", true, -1}, Case{"abc", "abc", true, 0},
          Case{"a", "B", false, -1}, Case{"Games", "gAMES", false, 0},
          Case{"\xC3\xA9", "\xC3\x89", false, 1}, Case{"\xC3\xA9", "z", false, 1},
          Case{nullptr, "", true, 0}, Case{nullptr, "x", true, -1}, Case{"x", "", true, 1},
          Case{nullptr, "", false, 0}, Case{nullptr, "x", false, -1}, Case{"x", "", false, 1}}) {
        EXPECT_EQ(std::clamp(TString(a).compare(TString(b), caseSensitive), -1, 1), expected)
            << b << caseSensitive;
    }
    EXPECT_EQ(startsWithNoCase("Software\\Orvane", "SOFTWARE"), 0);
    EXPECT_NE(startsWithNoCase("Soft", "Software"), 0);
    EXPECT_EQ(startsWithNoCase("x", ""), 0);
    EXPECT_EQ(sameFirstCharNoCase("abc", "A"), 0);
    EXPECT_NE(sameFirstCharNoCase("abc", "b"), 0);
    // The member prefix test is exact and refuses an empty prefix.
    EXPECT_TRUE(TString("C:\\Games\\A").startsWith(TString("C:\\Games")));
    EXPECT_FALSE(TString("C:\\games\\A").startsWith(TString("C:\\Games")));
    EXPECT_FALSE(TString("C:\\Games").startsWith(TString("")));
    EXPECT_FALSE(TString("C:").startsWith(TString("C:\\")));
}

// ASCII is compared byte by byte, the rest in UTF-16: the answers are those of UTF-16 throughout,
// wherever the first byte above 0x7F stands.
TEST(TStringCompare, NoCaseAnswersAsUtf16OnEitherSideOfTheFirstByteAboveAscii) {
    // a, b, sign of compareNoCase, whether b starts a
    using Case = std::tuple<const char*, const char*, int, bool>;
    for (auto [a, b, sign, starts] :
         {Case{"GAMES\\xC3\xA9", "games\\xC3\xA9", 0, true},
          Case{"c:/games/\xC3\xA9/x", "C:/Games/\xC3\xA9", 1, true},
          Case{"Ab\xC3\xA9", "aB\xC3\x89", 1, false}, Case{"ab", "a\xC3\xA9", -1, false},
          Case{"a\xC3\xA9", "AB", 1, false}, Case{"\xC3\xA9", "", 1, true},
          // Two different bytes that are not UTF-8 both stand for U+FFFD.
          Case{"A\x80z", "a\x81Z", 0, true}, Case{"x\x80", "X\x80yz", -1, false}}) {
        EXPECT_EQ(std::clamp(compareNoCase(a, b), -1, 1), sign) << a << " " << b;
        EXPECT_EQ(startsWithNoCase(a, b) == 0, starts) << a << " " << b;
    }
}

TEST(TStringFind, TextsAndCharactersWithinTheText) {
    // haystack, needle, case-sensitive, start, found, position after
    using Case = std::tuple<const char*, const char*, bool, uint32_t, bool, uint32_t>;
    for (auto [haystack, needle, caseSensitive, start, found, position] :
         {Case{"hello", "lo", true, 0, true, 3}, Case{"hello", "lo", true, 4, false, 4},
          Case{"hello", "LO", false, 0, true, 3},
          Case{"hello", "LO", true, 0, false, 4},  // left one past the last start
          Case{"hello", "", true, 0, false, 0}, Case{"lo", "hello", true, 0, false, 0},
          Case{"\\\\?\\C:\\x", "\\\\?\\", true, 0, true, 0},
          Case{"a\xC3\xA9Xb", "xB", false, 0, true, 3},
          Case{"aabaabaaab", "AABAAAB", false, 0, true, 3}, Case{"xAbxab", "AB", false, 2, true, 4},
          // Only A-Z fold; a byte above 0x7F matches itself alone, never another that is not valid
          // UTF-8 on its own.
          Case{"\xC3\x89T\xC3\xA9", "\xC3\xA9", false, 0, true, 3},
          Case{"\xC3\xA9xy", "\xEF\xBF\xBD", false, 0, false, 2},
          Case{"\xC3\xA8z", "\xA9Z", false, 0, false, 2}}) {
        uint32_t byString = start, byText = start;
        EXPECT_EQ(TString(haystack).find(TString(needle), byString, caseSensitive), found);
        EXPECT_EQ(TString(haystack).find(needle, byText, caseSensitive), found);
        EXPECT_EQ(std::make_pair(byString, byText), std::make_pair(position, position))
            << haystack << " " << needle;
    }
    // text, character, forward, case-sensitive, start, found, position after
    using Hit = std::tuple<const char*, char, bool, bool, uint32_t, bool, uint32_t>;
    for (auto [text, c, forward, caseSensitive, start, found, position] :
         {Hit{"a/b/c", '/', true, true, 2, true, 3}, Hit{"a/b/c", '/', true, true, 4, false, 5},
          Hit{"a/b/c", 'a', true, true, 5, false, 5}, Hit{"xYz", 'y', true, false, 0, true, 1},
          Hit{"abc", '\\', false, true, 1, false, 4294967295u},
          Hit{nullptr, 'a', false, true, 7, false, 7},
          Hit{"\xC3\xA9", '\xC3', true, false, 0, true, 0},
          Hit{"\xC3\xA9", '\xC3', true, false, 1, false, 2},
          Hit{"\xC3\xA9", '\xC4', false, false, 0, false, 4294967295u}}) {
        uint32_t at = start;
        const TString s(text);
        EXPECT_EQ(forward ? s.findChar(c, at, caseSensitive) : s.findLastChar(c, at, caseSensitive),
                  found);
        EXPECT_EQ(at, position) << c << start;
    }
    TString slashes("a/b/c"), mixed("aAb"), eAcute("\xC3\xA9");
    slashes.replaceChar('/', '\\', true);
    mixed.replaceChar('a', 'x', false);
    mixed.replaceChar('x', '\0', true);
    eAcute.replaceChar('\xC4', 'x', false);
    EXPECT_STREQ(slashes.c_str(), "a\\b\\c");
    EXPECT_STREQ(mixed.c_str(), "xxb");
    EXPECT_STREQ(eAcute.c_str(), "\xC3\xA9");

    for (auto [text, value] :
         {std::pair{" 42abc", 42}, std::pair{"+12", 12}, std::pair{"3000000000", 2147483647},
          std::pair{"-3000000000", -2147483647 - 1},
          std::pair{"99999999999999999999999", 2147483647}}) {
        EXPECT_EQ(TString(text).toInt(), value) << text;
    }
    EXPECT_EQ(TString("18446744073709551615").toInt64(), INT64_MAX);
    EXPECT_EQ(TString("-99999999999999999999").toInt64(), INT64_MIN);
    EXPECT_EQ(TString("12abc").toInt64(), 12);
}

}  // namespace
}  // namespace OrvaneLib
