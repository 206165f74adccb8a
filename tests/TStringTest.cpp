#include "Common/General/TString.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace OrvaneLib {
namespace {

// The text as far as the length reaches, and the size of the block.
using TShape = std::pair<std::string, uint32_t>;
TShape shape(const TString& s) {
    return {std::string(s.c_str(), s.getLength()), s.getCapacity()};
}

// A string whose block is larger than its text.
TString withRoom(const char* text, uint32_t extra) {
    TString s(text);
    s.grow(extra);
    return s;
}

TEST(TStringStorage, ConstructionCopyAndMove) {
    TString none(static_cast<const char*>(nullptr)), source = withRoom("abc", 10), copy(source);
    EXPECT_EQ(shape(none), TShape("", 0));
    EXPECT_EQ(shape(TString("")), TShape("", 1));
    EXPECT_EQ(shape(TString('x')), TShape("x", 2));
    EXPECT_EQ(TString('\0').getLength(), 0u);
    EXPECT_EQ(shape(copy), TShape("abc", 14));
    TString moved(std::move(source));
    EXPECT_EQ(shape(moved), TShape("abc", 14));
    EXPECT_FALSE(source.hasBlock());

    TString grown;  // a block made by growing holds the empty text and its terminator
    grown.grow(5);
    EXPECT_EQ(shape(grown), TShape("", 6));
    EXPECT_STREQ(grown.c_str(), "");
}

TEST(TStringAssign, CopiesIntoNoBlockAndGrowsABlockToExactlyTheText) {
    const TString roomy = withRoom("ab", 5), hello = withRoom("hello", 4), hi("hi");
    TString target, small("a");
    target = roomy;
    EXPECT_EQ(shape(target), TShape("ab", 8));
    small = hello;
    EXPECT_EQ(shape(small), TShape("hello", 6));
    small = hi;
    EXPECT_EQ(shape(small), TShape("hi", 6));  // reused, never shrunk
    small = TString();
    target = static_cast<const char*>(nullptr);
    EXPECT_FALSE(small.hasBlock() || target.hasBlock());

    TString s("abcdef");
    TString& alias = s;
    s = alias;
    EXPECT_STREQ(s.c_str(), "abcdef");
    s = s.c_str() + 2;
    EXPECT_STREQ(s.c_str(), "cdef");
}

TEST(TStringAppend, GrowsByExactlyTheAppendedLengthAndConcatenationAllocatesOnce) {
    TString empty, s = withRoom("ab", 10), chars, self("ab");
    const TString t = withRoom("t", 9);
    empty += t;  // an assignment
    EXPECT_EQ(shape(empty), TShape("t", 11));
    s += TString("cd");
    EXPECT_EQ(s.getCapacity(), 15u);
    s += "ef";
    EXPECT_EQ(shape(s), TShape("abcdef", 17));

    std::vector<uint32_t> capacities;
    for (char c : {'x', 'y', 'z', '\0'}) {
        chars += c;
        capacities.push_back(chars.getCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{3, 3, 5, 5}));
    EXPECT_EQ(shape(chars), TShape("xyz", 5));

    self += self;
    self += self.c_str();
    self += self.c_str() + 6;
    EXPECT_EQ(shape(self), TShape("ababababab", 11));
}

TEST(TStringAppend, CountedAppendFillsTheRoomFirstAndMayTakeItsOwnText) {
    TString none, fresh, roomy = withRoom("ab", 4);
    none.append("xyz", 0);
    EXPECT_FALSE(none.hasBlock());
    fresh.append("xyz", 2);
    EXPECT_EQ(shape(fresh), TShape("xy", 3));
    roomy.append("cdef", 3);
    EXPECT_EQ(shape(roomy), TShape("abcde", 7));
    roomy.append("gh", 2);
    EXPECT_EQ(shape(roomy), TShape("abcdegh", 8));
    roomy.append(roomy.c_str() + 1, 4);
    EXPECT_EQ(shape(roomy), TShape("abcdeghbcde", 12));
}

TEST(TStringEraseAndSubstring, CutAtTheEndAndReplaceOnlyTooSmallBlocks) {
    using Case = std::tuple<uint32_t, int32_t, const char*>;
    for (auto [pos, count, expected] :
         {Case{2, -1, "ab"}, Case{4, 10, "abcd"}, Case{6, 1, "abcdef"}, Case{1, 2, "adef"}}) {
        TString s("abcdef");
        s.erase(pos, count);
        EXPECT_EQ(shape(s), TShape(expected, 7)) << pos << " " << count;
    }

    TString s("abcdef"), out, none, big = withRoom("", 20), small("x");
    EXPECT_EQ(shape(s.substring(4, 100, out)), TShape("ef", 3));
    EXPECT_EQ(shape(s.substring(6, 1, out)), TShape("", 3));
    EXPECT_EQ(shape(s.substring(9, 1, none)), TShape("", 1));
    EXPECT_EQ(shape(s.substring(1, 3, big)), TShape("bcd", 21));
    EXPECT_EQ(shape(s.substring(0, 4, small)), TShape("abcd", 5));
    s.substring(2, 3, s);
    EXPECT_STREQ(s.c_str(), "cde");
}

TEST(TStringConcat, BuildsOneBlockForUpToSevenOperands) {
    TString a("C:"), b("\\Games"), c("\\"), d("A"), e("\\x"), f("."), g("exe"), none, empty("");
    OrvaneTest::AllocationCount allocations;
    TString joined = a + b + c + d + e + f + g;
    EXPECT_EQ(allocations.count(), 1u);
    EXPECT_EQ(shape(joined), TShape("C:\\Games\\A\\x.exe", 17));
    EXPECT_FALSE(TString(none + none).hasBlock() || TString(empty + empty).hasBlock());
    EXPECT_STREQ(TString(none + TString("x") + empty).c_str(), "x");
}

TEST(TStringWide, KeepsNullAndEmptyApartAndUsesTheHeapOnlyForLongTexts) {
    const TWideChar eAcute[] = {0x00E9, 0};
    EXPECT_EQ(shape(TString(eAcute)), TShape("\xC3\xA9", 3));
    EXPECT_FALSE(TString(static_cast<const TWideChar*>(nullptr)).hasBlock());
    EXPECT_EQ(TString().toWide().get(), nullptr);
    TWideText empty = TString("").toWide(), text = TString("a\xC3\xA9").toWide();
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(empty.get()[0], 0);
    EXPECT_EQ(text.getLength(), 2);
    EXPECT_EQ(text.get()[1], 0x00E9);

    for (auto [length, heapBlocks] : {std::pair{259, 0u}, std::pair{1 << 20, 1u}}) {
        TString path(std::string(length, 'k').c_str());
        OrvaneTest::AllocationCount allocations;
        TWideText wide = path.toWide();
        EXPECT_EQ(allocations.count(), heapBlocks);
        EXPECT_EQ(wide.getLength(), length);
        EXPECT_EQ(wide.get()[length - 1], u'k');
    }
}

TEST(TStringNumbers, EachTypeHasItsFormatAndHugeDoublesAreComplete) {
    std::string texts;
    for (const TString& number :
         {TString(-5), TString(-7L), TString(4294967295u), TString(12UL), TString(-1LL),
          TString(18446744073709551615ULL), TString(1.5), TString(0.25f), TString(1e300)}) {
        texts += std::string(number.c_str()) + " ";
    }
    EXPECT_EQ(texts, "-5 -7 4294967295 12 -1 18446744073709551615 1.500000 0.250000 " +
                         std::to_string(1e300) + " ");
}

TEST(TStringAllocation, FailureThrowsAndKeepsTheText) {
    TString s("abc");
    OrvaneTest::failAllocationAfter(0);
    EXPECT_THROW(s += "defgh", std::bad_alloc);
    EXPECT_STREQ(s.c_str(), "abc");
    OrvaneTest::failAllocationAfter(0);
    EXPECT_THROW(TString("x"), std::bad_alloc);
}

}  // namespace
}  // namespace OrvaneLib
