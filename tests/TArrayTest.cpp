#include "Common/General/TArray.h"

#include "support/AllocationCounter.h"
#include "support/RaisedReports.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace OrvaneLib {
namespace {

// An element that counts its constructions and destructions; it refers to nothing of its own, so
// it may move bitwise as the arrays move their elements.
struct TCounted {
    static inline int constructed = 0;
    static inline int copied = 0;
    static inline int destroyed = 0;
    static int live() { return constructed - destroyed; }

    explicit TCounted(int id = 0) : id(id) { ++constructed; }
    TCounted(const TCounted& other) : id(other.id) {
        ++constructed;
        ++copied;
    }
    TCounted& operator=(const TCounted&) = default;
    ~TCounted() { ++destroyed; }
    bool operator==(const TCounted& other) const { return id == other.id; }

    int id;
};

// How each element kind is made from a number and read back.
template <typename T>
struct TElements;
template <>
struct TElements<TString> {
    static TString make(int id) { return TString(id); }
    static int id(const TString& element) { return element.toInt(); }
};
template <>
struct TElements<const int*> {
    static inline int pool[512];
    static const int* make(int id) { return &pool[id]; }
    static int id(const int* element) { return static_cast<int>(element - pool); }
};
template <>
struct TElements<TCounted> {
    static TCounted make(int id) { return TCounted(id); }
    static int id(const TCounted& element) { return element.id; }
};

// Arrays of elements that stand for numbers, as made from and read back to those numbers.
template <typename T = TString>
TArray<T> arrayOf(const std::vector<int>& numbers) {
    TArray<T> array;
    for (int number : numbers) {
        array.add(TElements<T>::make(number));
    }
    return array;
}

template <typename T>
std::vector<int> ids(const TArray<T>& array) {
    std::vector<int> out;
    for (uint32_t i = 0; i < array.getCount(); ++i) {
        out.push_back(TElements<T>::id(array.get(i)));
    }
    return out;
}

template <typename T>
class TArrayOf : public ::testing::Test {
protected:
    void SetUp() override { TCounted::constructed = TCounted::copied = TCounted::destroyed = 0; }
    void TearDown() override {
        EXPECT_EQ(TCounted::live(), 0) << "an element lived on or died twice";
    }
};

using TElementKinds = ::testing::Types<TString, const int*, TCounted>;
TYPED_TEST_SUITE(TArrayOf, TElementKinds);

TYPED_TEST(TArrayOf, AddGrowsByHalfAndBulkAppendsExactly) {
    using E = TElements<TypeParam>;
    TArray<TypeParam> array;
    std::vector<uint32_t> capacities{0};
    for (int i = 0; i <= 225; ++i) {
        // The last is an element of the full array itself, whose block then moves.
        i < 225 ? array.add(E::make(i)) : array.add(array.getData()[3]);
        if (capacities.back() != array.capacity()) {
            capacities.push_back(array.capacity());
        }
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{0, 10, 20, 30, 45, 67, 100, 150, 225, 337}));
    EXPECT_EQ(E::id(array.get(225)), 3);

    TArray<TypeParam> bulk;
    EXPECT_EQ(bulk.addArray(array.getData(), 2), 0u);
    EXPECT_EQ(bulk.addAll(TArray<TypeParam>()), 2u);
    EXPECT_EQ(bulk.addAll(bulk), 2u);
    EXPECT_EQ(bulk.capacity(), 4u);
    EXPECT_EQ(ids(bulk), (std::vector<int>{0, 1, 0, 1}));
}

TYPED_TEST(TArrayOf, RemovalSwapsInTheLastAndShrinksWhenSparse) {
    TArray<TypeParam> array = arrayOf<TypeParam>({1, 2, 3});
    array.removeAt(0, false);
    EXPECT_EQ(ids(array), (std::vector<int>{3, 2}));
    array = arrayOf<TypeParam>({2, 1, 2, 2});
    array.removeAll(TElements<TypeParam>::make(2), false);
    EXPECT_EQ(ids(array), (std::vector<int>{1}));
    EXPECT_EQ(array.indexOf(TElements<TypeParam>::make(5)), array.getCount());
    EXPECT_TRUE(array.contains(TElements<TypeParam>::make(1)));

    std::vector<int> thirty(30, 7);
    TArray<TypeParam> shrinking = arrayOf<TypeParam>(thirty);
    std::vector<uint32_t> capacities{30};
    while (shrinking.getCount() > 0) {
        shrinking.removeAt(0, true);
        if (capacities.back() != shrinking.capacity()) {
            capacities.push_back(shrinking.capacity());
            EXPECT_EQ(shrinking.getCount(), capacities.size() == 2 ? 14u : 9u);
        }
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{30, 20, 14}));
    TArray<TypeParam> emptied = arrayOf<TypeParam>(thirty);
    emptied.removeAll(TElements<TypeParam>::make(7), false);  // each removal shrinks regardless
    EXPECT_EQ(emptied.capacity(), 14u);
}

TYPED_TEST(TArrayOf, TruncationAndClearDestroyExactlyTheDroppedElements) {
    TArray<TypeParam> array = arrayOf<TypeParam>({1, 2, 3, 4, 5});
    array.setCapacity(2);
    EXPECT_EQ(ids(array), (std::vector<int>{1, 2}));
    EXPECT_EQ(array.capacity(), 2u);
    array.clear(false);
    EXPECT_EQ(array.getCount(), 0u);
    EXPECT_EQ(array.capacity(), 2u);
    array.add(TElements<TypeParam>::make(9));
    array.clear(true);
    EXPECT_EQ(array.capacity(), 0u);
    EXPECT_EQ(array.getData(), nullptr);
}

TYPED_TEST(TArrayOf, ForEachCopyAndMove) {
    using TAction = typename TArray<TypeParam>::TAction;
    TArray<TypeParam> source;
    source.forEach(TAction());  // nothing to call it on
    source = arrayOf<TypeParam>({1, 2, 3});
    EXPECT_THROW(source.forEach(TAction()), std::bad_function_call);
    TArray<TypeParam> copy(source);
    copy.forEach(
        [](TypeParam& e) { e = TElements<TypeParam>::make(TElements<TypeParam>::id(e) + 1); });
    EXPECT_EQ(ids(copy), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(ids(source), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(copy.capacity(), 3u);

    const TypeParam* block = source.getData();
    copy = std::move(source);
    EXPECT_EQ(copy.getData(), block);
    EXPECT_EQ(source.getData(), nullptr);
    EXPECT_EQ(source.getCount() + source.capacity(), 0u);
}

// Growth moves the elements with the block: no element is copied for it.
TEST(TArrayOfCounted, GrowthMovesElementsBitwise) {
    TCounted::constructed = TCounted::copied = TCounted::destroyed = 0;
    {
        TArray<TCounted> array;
        const TCounted one(1);
        for (int i = 0; i < 100; ++i) {
            array.add(one);
        }
        EXPECT_EQ(TCounted::copied, 100);
    }
    EXPECT_EQ(TCounted::live(), 0);
}

TEST(TArrayOfStrings, EqualityIsExactAndBlindToBlocks) {
    TArray<TString> array = arrayOf({1});
    array.add(TString("Game"));
    array.add(TString(""));
    EXPECT_EQ(array.indexOf(TString()), 2u);
    EXPECT_EQ(array.indexOf(TString("game")), 3u);
    EXPECT_EQ(array.indexOf(TString("Gam")), 3u);
}

TEST(TArrayOfStrings, StorageFailureIsReportedAndTheOldBlockKept) {
    OrvaneTest::RaisedReports reports;
    TArray<TString> array = arrayOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), empty;
    const TString one("1");
    OrvaneTest::failAllocationAfter(0);
    EXPECT_EQ(empty.add(one), 0u);  // not added
    OrvaneTest::failAllocationAfter(0);
    EXPECT_EQ(array.add(one), 10u);
    const TString* block = array.getData();
    EXPECT_EQ(array.addArray(block, UINT32_MAX), 10u);  // the count would pass 32 bits
    EXPECT_EQ(array.getData(), block);
    EXPECT_EQ(array.capacity() + empty.getCount() + empty.capacity(), 10u);
    EXPECT_EQ(ids(array), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    const uint64_t size = sizeof(TString);
    const uint64_t bytes[] = {10 * size, 20 * size, (uint64_t{UINT32_MAX} + 10) * size};
    ASSERT_EQ(reports.records().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const TException& raised = *reports.records()[i];
        EXPECT_EQ(std::tie(raised.category, raised.severity, raised.line), std::tuple(3, 3, 384));
        EXPECT_NE(std::string(raised.message).find(" " + std::to_string(bytes[i]) + " "),
                  std::string::npos);
    }
}

std::vector<int> deleted;

// Records the operations that the others must reach through the virtual table.
class TRecordingArray : public TArray<TString> {
public:
    void setCapacity(uint32_t n) override {
        calls.push_back("setCapacity " + std::to_string(n));
        TArray::setCapacity(n);
    }
    uint32_t capacity() const override { return TArray::capacity() + 5; }
    void clear(bool release) override {
        calls.push_back(release ? "clear true" : "clear false");
        TArray::clear(release);
    }
    uint32_t addArray(const TString* elements, uint32_t n) override {
        calls.push_back("addArray " + std::to_string(n));
        return TArray::addArray(elements, n);
    }
    uint32_t indexOf(const TString&) const override { return 0; }
    void removeAt(uint32_t index, bool shrink) override {
        calls.push_back("removeAt " + std::to_string(index));
        TArray::removeAt(index, shrink);
    }

    std::vector<std::string> calls;
};

TEST(TArrayVirtualCalls, OperationsGoThroughTheTable) {
    TRecordingArray array;
    array.add(TString("1"));
    EXPECT_TRUE(array.contains(TString("absent")));
    array.addAll(arrayOf({2, 1}));
    array.removeAll(TString("1"), false);
    array.clear(true);
    static_cast<TArray<TString>&>(array) = arrayOf({3});
    EXPECT_EQ(array.calls,
              (std::vector<std::string>{"setCapacity 15", "addArray 2", "removeAt 0", "removeAt 0",
                                        "clear true", "setCapacity 0", "clear false"}));
}

struct TProbe {
    explicit TProbe(int id) : id(id) {}
    virtual ~TProbe() { deleted.push_back(id); }
    int id;
};

static_assert(!std::is_copy_constructible_v<TPointerArray<TProbe*>> &&
                  std::is_nothrow_move_constructible_v<TPointerArray<TProbe*>>,
              "a pointer array moves and is never copied");

TEST(TPointerArrayOwnership, OnlyDestructionDeletesLastToFirst) {
    deleted.clear();
    TProbe kept(5);
    {
        TProbe* first[] = {new TProbe(1), nullptr, new TProbe(2)};
        TProbe* second[] = {new TProbe(3), new TProbe(4)};
        TProbe* kept4[] = {&kept, &kept, &kept, &kept};
        TPointerArray<TProbe*> array, other, dropping;
        array.addArray(first, 3);
        other.addArray(second, 2);
        TPointerArray<TProbe*> moved(std::move(array));
        moved = std::move(other);
        EXPECT_EQ(deleted, (std::vector<int>{2, 1}));
        dropping.addArray(kept4, 4);
        dropping.removeAt(0, true);
        dropping.setCapacity(2);
        dropping.removeAll(&kept, true);
        dropping.add(&kept);
        dropping.clear(true);
    }
    EXPECT_EQ(deleted, (std::vector<int>{2, 1, 4, 3}));
}

}  // namespace
}  // namespace OrvaneLib
