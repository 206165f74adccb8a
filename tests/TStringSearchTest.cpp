#include "Common/General/TString.h"

#include <gtest/gtest.h>

#include <tuple>

using OrvaneLib::TString;

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(TStringCompare, CaseSensitiveIsTheSignedByteDifference) {
    EXPECT_EQ(TString("a").compare(TString("B"), true), 0x61 - 0x42);
    EXPECT_LT(TString("\xC3\xA9").compare(TString("z"), true), 0);
    EXPECT_LT(TString("ab").compare(TString("abc"), true), 0);
    EXPECT_EQ(TString("abc").compare(TString("abc"), true), 0);
}

TEST(TStringCompare, CaseInsensitiveFoldsOnlyAsciiLetters) {
    EXPECT_LT(TString("a").compare(TString("B"), false), 0);
    EXPECT_EQ(TString("Games").compare(TString("gAMES"), false), 0);
    // E-acute and its capital are not folded; non-ASCII sorts after ASCII.
    EXPECT_NE(TString("\xC3\xA9").compare(TString("\xC3\x89"), false), 0);
    EXPECT_GT(TString("\xC3\xA9").compare(TString("z"), false), 0);
}

TEST(TStringCompare, EmptyStrings) {
    for (bool caseSensitive : {true, false}) {
        EXPECT_EQ(TString().compare(TString(""), caseSensitive), 0);
        EXPECT_EQ(TString().compare(TString("x"), caseSensitive), -1);
        EXPECT_EQ(TString("x").compare(TString(""), caseSensitive), 1);
    }
}

TEST(TStringCompare, NoCaseFunctions) {
    EXPECT_EQ(OrvaneLib::compareNoCase("Orvane", "ORVANE"), 0);
    EXPECT_EQ(sign(OrvaneLib::compareNoCase("a", "b")), -1);
    EXPECT_EQ(OrvaneLib::startsWithNoCase("Software\\Orvane", "SOFTWARE"), 0);
    EXPECT_NE(OrvaneLib::startsWithNoCase("Soft", "Software"), 0);
    EXPECT_EQ(OrvaneLib::startsWithNoCase("x", ""), 0);
    EXPECT_EQ(OrvaneLib::sameFirstCharNoCase("abc", "A"), 0);
    EXPECT_NE(OrvaneLib::sameFirstCharNoCase("abc", "b"), 0);
}

TEST(TStringStartsWith, IsCaseSensitiveAndRefusesAnEmptyPrefix) {
    TString path("C:\\Games\\A");
    EXPECT_TRUE(path.startsWith(TString("C:\\Games")));
    EXPECT_FALSE(TString("C:\\games\\A").startsWith(TString("C:\\Games")));
    EXPECT_FALSE(path.startsWith(TString("")));
    EXPECT_FALSE(TString("C:").startsWith(TString("C:\\")));
}

struct FindCase {
    const char* haystack;
    const char* needle;
    bool caseSensitive;
    uint32_t start;
    bool found;
    uint32_t position;
};

class TStringFind : public testing::TestWithParam<FindCase> {};

TEST_P(TStringFind, BothFormsAgree) {
    const FindCase& c = GetParam();
    uint32_t byString = c.start;
    uint32_t byText = c.start;
    EXPECT_EQ(TString(c.haystack).find(TString(c.needle), byString, c.caseSensitive), c.found);
    EXPECT_EQ(TString(c.haystack).find(c.needle, byText, c.caseSensitive), c.found);
    EXPECT_EQ(byString, c.position);
    EXPECT_EQ(byText, c.position);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TStringFind,
    testing::Values(FindCase{"hello", "lo", true, 0, true, 3},
                    FindCase{"hello", "lo", true, 4, false, 4},  // beyond the last start
                    FindCase{"hello", "LO", false, 0, true, 3},
                    FindCase{"hello", "LO", true, 0, false, 4},  // left one past the last start
                    FindCase{"hello", "", true, 0, false, 0},
                    FindCase{"lo", "hello", true, 0, false, 0},
                    FindCase{"\\\\?\\C:\\x", "\\\\?\\", true, 0, true, 0},
                    FindCase{"a\xC3\xA9Xb", "xB", false, 0, true, 3}));

TEST(TStringFindChar, ForwardAndBackward) {
    TString s("a/b/c");
    uint32_t position = 0;
    EXPECT_TRUE(s.findChar('/', position, true));
    EXPECT_EQ(position, 1u);
    position = 2;
    EXPECT_TRUE(s.findChar('/', position, true));
    EXPECT_EQ(position, 3u);
    position = 4;
    EXPECT_FALSE(s.findChar('/', position, true));
    EXPECT_EQ(position, 5u);
    position = 5;
    EXPECT_FALSE(s.findChar('a', position, true));
    EXPECT_EQ(position, 5u);
    position = 0;
    EXPECT_TRUE(TString("xYz").findChar('y', position, false));
    EXPECT_EQ(position, 1u);

    position = 0;
    EXPECT_TRUE(TString("C:\\a\\b").findLastChar('\\', position, true));
    EXPECT_EQ(position, 4u);
    position = 1;
    EXPECT_FALSE(TString("abc").findLastChar('\\', position, true));
    EXPECT_EQ(position, 4294967295u);
    position = 7;
    EXPECT_FALSE(TString().findLastChar('a', position, true));
    EXPECT_EQ(position, 7u);
}

TEST(TStringReplaceChar, ReplacesEveryMatch) {
    TString s("a/b/c");
    s.replaceChar('/', '\\', true);
    EXPECT_STREQ(s.c_str(), "a\\b\\c");
    TString t("aAb");
    t.replaceChar('a', 'x', false);
    EXPECT_STREQ(t.c_str(), "xxb");
    t.replaceChar('x', '\0', true);
    EXPECT_STREQ(t.c_str(), "xxb");
}

class TStringToInt : public testing::TestWithParam<std::tuple<const char*, int32_t>> {};

TEST_P(TStringToInt, ParsesLikeAtolClamped) {
    EXPECT_EQ(TString(std::get<0>(GetParam())).toInt(), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Cases, TStringToInt,
                         testing::Values(std::make_tuple(" 42abc", 42), std::make_tuple("-7", -7),
                                         std::make_tuple("", 0), std::make_tuple("abc", 0),
                                         std::make_tuple("+12", 12),
                                         std::make_tuple("3000000000", 2147483647),
                                         std::make_tuple("-3000000000", -2147483647 - 1),
                                         std::make_tuple("99999999999999999999999", 2147483647)));

TEST(TStringToInt64, ClampsToTheSignedRange) {
    EXPECT_EQ(TString("18446744073709551615").toInt64(), INT64_MAX);
    EXPECT_EQ(TString("-99999999999999999999").toInt64(), INT64_MIN);
    EXPECT_EQ(TString("12abc").toInt64(), 12);
}

}  // namespace
