#include "Common/General/TString.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using OrvaneLib::TString;
using OrvaneLib::TWideChar;
using OrvaneLib::TWideText;
using OrvaneTest::AllocationCount;
using OrvaneTest::FailAllocation;

namespace {

// A string whose block is larger than its text.
TString withRoom(const char* text, uint32_t extra) {
    TString s(text);
    s.grow(extra);
    return s;
}

TEST(TStringStorage, NullTextHasNoBlockAndEmptyTextHasOneByte) {
    TString none(static_cast<const char*>(nullptr));
    TString empty("");
    EXPECT_FALSE(none.hasBlock());
    EXPECT_EQ(none.getCapacity(), 0u);
    EXPECT_TRUE(empty.hasBlock());
    EXPECT_EQ(empty.getCapacity(), 1u);
    for (const TString* s : {&none, &empty}) {
        EXPECT_EQ(s->getLength(), 0u);
        EXPECT_TRUE(s->isEmpty());
        EXPECT_STREQ(s->c_str(), "");
    }
    EXPECT_EQ(none, empty);
}

TEST(TStringStorage, CopyKeepsTheSourceCapacity) {
    TString source = withRoom("abc", 10);
    TString copy(source);
    EXPECT_EQ(copy.getCapacity(), 14u);
    EXPECT_STREQ(copy.c_str(), "abc");
    EXPECT_NE(copy.c_str(), source.c_str());
}

TEST(TStringStorage, MoveLeavesTheSourceWithoutBlock) {
    TString source("abc");
    const char* block = source.c_str();
    TString moved(std::move(source));
    EXPECT_EQ(moved.c_str(), block);
    EXPECT_FALSE(source.hasBlock());
    source = "reused";
    EXPECT_STREQ(source.c_str(), "reused");
}

TEST(TStringStorage, CharacterConstructor) {
    TString x('x');
    EXPECT_EQ(x.getCapacity(), 2u);
    EXPECT_EQ(x.getLength(), 1u);
    EXPECT_STREQ(x.c_str(), "x");
    TString nul('\0');
    EXPECT_EQ(nul.getLength(), 0u);
}

TEST(TStringAssign, IntoStringWithoutBlockTakesTheSourceCapacity) {
    TString target;
    target = withRoom("ab", 5);
    EXPECT_EQ(target.getCapacity(), 8u);
    EXPECT_STREQ(target.c_str(), "ab");
}

TEST(TStringAssign, IntoSmallBlockGrowsToExactlyTheText) {
    TString target("a");
    const TString hello = withRoom("hello", 4);
    const TString hi("hi");
    target = hello;
    EXPECT_EQ(target.getCapacity(), 6u);
    target = hi;
    EXPECT_EQ(target.getCapacity(), 6u);  // reused, never shrunk
    EXPECT_STREQ(target.c_str(), "hi");
}

TEST(TStringAssign, FromBlocklessStringOrNullFreesTheBlock) {
    TString target("abc");
    target = TString();
    EXPECT_FALSE(target.hasBlock());
    target = "abc";
    target = static_cast<const char*>(nullptr);
    EXPECT_FALSE(target.hasBlock());
}

TEST(TStringAssign, SelfAssignmentAndOwnTextKeepTheText) {
    TString s("abcdef");
    TString& alias = s;
    s = alias;
    EXPECT_STREQ(s.c_str(), "abcdef");
    s = s.c_str() + 2;
    EXPECT_STREQ(s.c_str(), "cdef");
}

TEST(TStringAppend, ToEmptyStringIsAnAssignment) {
    TString s;
    s += withRoom("t", 9);
    EXPECT_EQ(s.getCapacity(), 11u);
    EXPECT_STREQ(s.c_str(), "t");
}

TEST(TStringAppend, GrowsByExactlyTheAppendedLengthEvenWithRoom) {
    TString s = withRoom("ab", 10);  // capacity 13
    s += TString("cd");
    EXPECT_EQ(s.getCapacity(), 15u);
    s += "ef";
    EXPECT_EQ(s.getCapacity(), 17u);
    EXPECT_STREQ(s.c_str(), "abcdef");
}

TEST(TStringAppend, CharacterGrowsByTwoOnlyWhenFull) {
    TString s;
    s += 'x';
    EXPECT_EQ(s.getCapacity(), 3u);
    s += 'y';
    EXPECT_EQ(s.getCapacity(), 3u);
    s += 'z';
    EXPECT_EQ(s.getCapacity(), 5u);
    s += '\0';
    EXPECT_EQ(s.getLength(), 3u);
    EXPECT_STREQ(s.c_str(), "xyz");
}

TEST(TStringAppend, SelfAppendDoublesTheText) {
    TString s("ab");
    s += s;
    EXPECT_STREQ(s.c_str(), "abab");
    s += s.c_str();
    EXPECT_STREQ(s.c_str(), "abababab");
    s += s.c_str() + 6;
    EXPECT_STREQ(s.c_str(), "ababababab");
    EXPECT_EQ(s.getLength(), 10u);
}

TEST(TStringGrow, WithoutBlockAllocatesOneMore) {
    TString s;
    s.grow(4);
    EXPECT_EQ(s.getCapacity(), 5u);
    s.grow(0);
    EXPECT_EQ(s.getCapacity(), 5u);
}

struct EraseCase {
    uint32_t pos;
    int32_t count;
    const char* expected;
};

class TStringErase : public testing::TestWithParam<EraseCase> {};

TEST_P(TStringErase, RemovesTheRangeAndKeepsTheBlock) {
    TString s("abcdef");
    s.erase(GetParam().pos, GetParam().count);
    EXPECT_STREQ(s.c_str(), GetParam().expected);
    EXPECT_EQ(s.getLength(), strlen(GetParam().expected));
    EXPECT_EQ(s.getCapacity(), 7u);
}

INSTANTIATE_TEST_SUITE_P(Cases, TStringErase,
                         testing::Values(EraseCase{2, -1, "ab"}, EraseCase{4, 10, "abcd"},
                                         EraseCase{6, 1, "abcdef"}, EraseCase{0, 0, "abcdef"},
                                         EraseCase{1, 2, "adef"}, EraseCase{0, 6, ""}));

TEST(TStringSubstring, CutsAtTheEnd) {
    TString s("abc");
    TString out;
    EXPECT_STREQ(s.substring(1, 100, out).c_str(), "bc");
    EXPECT_STREQ(s.substring(3, 1, out).c_str(), "");
    EXPECT_TRUE(out.hasBlock());
    TString none;
    s.substring(5, 1, none);
    EXPECT_EQ(none.getCapacity(), 1u);
}

TEST(TStringSubstring, ReusesALargeEnoughBlockAndReplacesASmallOne) {
    TString s("abcdef");
    TString big = withRoom("", 20);
    s.substring(1, 3, big);
    EXPECT_EQ(big.getCapacity(), 21u);
    TString small("x");
    s.substring(0, 4, small);
    EXPECT_EQ(small.getCapacity(), 5u);
    EXPECT_STREQ(small.c_str(), "abcd");
}

TEST(TStringSubstring, IntoItself) {
    TString s("abcdef");
    s.substring(2, 3, s);
    EXPECT_STREQ(s.c_str(), "cde");
}

TEST(TStringConcat, BuildsOneBlockForUpToSevenOperands) {
    TString a("C:"), b("\\Games"), c("\\"), d("A"), e("\\x"), f("."), g("exe");
    AllocationCount allocations;
    TString joined = a + b + c + d + e + f + g;
    EXPECT_EQ(allocations.count(), 1u);
    EXPECT_STREQ(joined.c_str(), "C:\\Games\\A\\x.exe");
    EXPECT_EQ(joined.getCapacity(), joined.getLength() + 1);
}

TEST(TStringConcat, EmptyOperandsGiveNoBlock) {
    TString none1, none2, empty1(""), empty2("");
    EXPECT_FALSE(TString(none1 + none2).hasBlock());
    EXPECT_FALSE(TString(empty1 + empty2).hasBlock());
    EXPECT_STREQ(TString(none1 + TString("x") + empty1).c_str(), "x");
}

TEST(TStringWide, FromUtf16) {
    const TWideChar eAcute[] = {0x00E9, 0};
    TString s(eAcute);
    ASSERT_EQ(s.getLength(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(s.c_str()[0]), 0xC3);
    EXPECT_EQ(static_cast<unsigned char>(s.c_str()[1]), 0xA9);
    EXPECT_EQ(s.getCapacity(), 3u);
    EXPECT_FALSE(TString(static_cast<const TWideChar*>(nullptr)).hasBlock());
}

TEST(TStringWide, ToWideKeepsNullAndEmptyApart) {
    TWideText none = TString().toWide();
    EXPECT_EQ(none.get(), nullptr);
    TWideText empty = TString("").toWide();
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(empty.get()[0], 0);
    TWideText text = TString("a\xC3\xA9").toWide();
    EXPECT_EQ(text.getLength(), 2);
    EXPECT_EQ(text.get()[1], 0x00E9);
    EXPECT_EQ(text.get()[2], 0);
}

TEST(TStringWide, ShortTextsStayOffTheHeap) {
    TString path(std::string(259, 'k').c_str());
    AllocationCount allocations;
    TWideText wide = path.toWide();
    EXPECT_EQ(allocations.count(), 0u);
    EXPECT_EQ(wide.getLength(), 259);
}

TEST(TStringWide, AMebibytePathConvertsOnTheHeap) {
    TString path(std::string(1 << 20, 'k').c_str());
    AllocationCount allocations;
    TWideText wide = path.toWide();
    EXPECT_EQ(allocations.count(), 1u);
    EXPECT_EQ(wide.getLength(), 1 << 20);
    EXPECT_EQ(wide.get()[(1 << 20) - 1], u'k');
}

TEST(TStringNumbers, EachTypeHasItsFormat) {
    EXPECT_STREQ(TString(-5).c_str(), "-5");
    EXPECT_STREQ(TString(-7L).c_str(), "-7");
    EXPECT_STREQ(TString(4294967295u).c_str(), "4294967295");
    EXPECT_STREQ(TString(12UL).c_str(), "12");
    EXPECT_STREQ(TString(-1LL).c_str(), "-1");
    EXPECT_STREQ(TString(18446744073709551615ULL).c_str(), "18446744073709551615");
    EXPECT_STREQ(TString(1.5).c_str(), "1.500000");
    EXPECT_STREQ(TString(0.25f).c_str(), "0.250000");
    EXPECT_STREQ(TString(2.0).c_str(), "2.000000");
}

TEST(TStringNumbers, HugeDoubleIsComplete) {
    TString s(1e300);
    EXPECT_EQ(s.getLength(), 301u + 7u);
    EXPECT_EQ(std::string(s.c_str()).substr(0, 4), "1000");
    EXPECT_EQ(std::string(s.c_str()).substr(s.getLength() - 7), ".000000");
}

TEST(TStringAllocation, FailureThrowsAndKeepsTheText) {
    TString s("abc");
    {
        FailAllocation fail(0);
        EXPECT_THROW(s += "defgh", std::bad_alloc);
        EXPECT_TRUE(fail.triggered());
    }
    EXPECT_STREQ(s.c_str(), "abc");
    FailAllocation fail(0);
    EXPECT_THROW(TString("x"), std::bad_alloc);
}

}  // namespace
