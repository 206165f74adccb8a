#include "Common/General/TArray.h"

#include "support/AllocationCounter.h"
#include "support/RaisedReports.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

using OrvaneLib::TArray;
using OrvaneLib::TPointerArray;
using OrvaneLib::TString;
using OrvaneTest::FailAllocation;

namespace {

// Elements numbered by an id, of both kinds the library stores; the pointers are never followed.
const int pool[512] = {};
template <typename T>
T element(int id);
template <>
TString element<TString>(int id) {
    return TString(id);
}
template <>
const int* element<const int*>(int id) {
    return &pool[id];
}
int idOf(const TString& s) {
    return s.toInt();
}
int idOf(const int* p) {
    return static_cast<int>(p - pool);
}

template <typename T>
TArray<T> arrayOf(std::vector<int> ids) {
    TArray<T> array;
    for (int id : ids) {
        array.add(element<T>(id));
    }
    return array;
}

template <typename T>
std::vector<int> ids(const TArray<T>& array) {
    std::vector<int> out;
    for (uint32_t i = 0; i < array.getCount(); ++i) {
        out.push_back(idOf(array.get(i)));
    }
    return out;
}

template <typename T>
class TArrayOf : public testing::Test {
protected:
    OrvaneTest::RaisedReports reports;
};

using ElementKinds = testing::Types<TString, const int*>;
TYPED_TEST_SUITE(TArrayOf, ElementKinds);

TYPED_TEST(TArrayOf, AddGrowsByHalfAndBulkAppendsExactly) {
    TArray<TypeParam> array;
    std::vector<uint32_t> capacities{0};
    for (int i = 0; i <= 225; ++i) {
        // The last is an element of the full array itself, whose block then moves.
        i < 225 ? array.add(element<TypeParam>(i)) : array.add(array.getData()[3]);
        if (capacities.back() != array.capacity()) {
            capacities.push_back(array.capacity());
        }
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{0, 10, 20, 30, 45, 67, 100, 150, 225, 337}));
    EXPECT_EQ(idOf(array.get(225)), 3);

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
    array.removeAll(element<TypeParam>(2), false);
    EXPECT_EQ(ids(array), (std::vector<int>{1}));
    EXPECT_FALSE(array.contains(element<TypeParam>(2)));

    std::vector<int> thirty(30, 7);
    TArray<TypeParam> shrinking = arrayOf<TypeParam>(thirty), kept = shrinking;
    std::vector<uint32_t> capacities{30};
    while (shrinking.getCount() > 0) {
        shrinking.removeAt(0, true);
        kept.removeAt(0, false);
        if (capacities.back() != shrinking.capacity()) {
            capacities.push_back(shrinking.capacity());
            EXPECT_EQ(shrinking.getCount(), capacities.size() == 2 ? 14u : 9u);
        }
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{30, 20, 14}));
    EXPECT_EQ(kept.capacity(), 30u);
    TArray<TypeParam> emptied = arrayOf<TypeParam>(thirty);
    emptied.removeAll(element<TypeParam>(7), false);  // each removal shrinks regardless
    EXPECT_EQ(emptied.capacity(), 14u);
}

TYPED_TEST(TArrayOf, ForEachCopyAndMove) {
    TArray<TypeParam> source;
    source.forEach(std::function<void(TypeParam&)>());  // nothing to call it on
    source = arrayOf<TypeParam>({1, 2, 3});
    EXPECT_THROW(source.forEach(std::function<void(TypeParam&)>()), std::bad_function_call);
    TArray<TypeParam> copy(source);
    copy.forEach([](TypeParam& e) { e = element<TypeParam>(idOf(e) + 1); });
    EXPECT_EQ(ids(copy), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(ids(source), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(copy.capacity(), 3u);

    const TypeParam* block = source.getData();
    copy = std::move(source);
    EXPECT_EQ(copy.getData(), block);
    EXPECT_EQ(ids(copy), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(source.getData(), nullptr);
    EXPECT_EQ(source.getCount() + source.capacity(), 0u);
}

TYPED_TEST(TArrayOf, StorageFailureIsReportedAndTheOldBlockKept) {
    TArray<TypeParam> array;
    const TypeParam one = element<TypeParam>(1);
    for (int round = 0; round < 2; ++round) {
        {
            FailAllocation fail(0);
            EXPECT_EQ(array.add(one), array.getCount());  // not added
        }
        for (int i = 0; i < 10 * (1 - round); ++i) {
            array.add(element<TypeParam>(i));
        }
    }
    const TypeParam* block = array.getData();
    EXPECT_EQ(array.addArray(block, UINT32_MAX), 10u);  // the count would pass 32 bits
    EXPECT_EQ(array.getData(), block);
    EXPECT_EQ(array.capacity(), 10u);
    EXPECT_EQ(ids(array), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    uint64_t size = sizeof(TypeParam);
    uint64_t bytes[] = {10 * size, 20 * size, (uint64_t{UINT32_MAX} + 10) * size};
    ASSERT_EQ(this->reports.records().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const OrvaneLib::TException& raised = *this->reports.records()[i];
        EXPECT_EQ(raised.category, 3);
        EXPECT_EQ(raised.severity, 3);
        EXPECT_EQ(raised.line, 384);
        EXPECT_NE(std::string(raised.message).find(" " + std::to_string(bytes[i]) + " "),
                  std::string::npos);
    }
}

TEST(TArrayOfStrings, EqualityIsExactAndIgnoresBlocks) {
    TArray<TString> array;
    array.add(TString("Game"));
    array.add(TString(""));
    EXPECT_EQ(array.indexOf(TString()), 1u);
    EXPECT_EQ(array.indexOf(TString("game")), 2u);
    EXPECT_EQ(array.indexOf(TString("Gam")), 2u);
}

// Records the calls that the other operations make through the virtual table.
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
    array.addAll(arrayOf<TString>({2, 1}));
    array.removeAll(TString("1"), false);
    array.clear(true);
    static_cast<TArray<TString>&>(array) = arrayOf<TString>({3});
    EXPECT_EQ(array.calls,
              (std::vector<std::string>{"setCapacity 15", "addArray 2", "removeAt 0", "removeAt 0",
                                        "clear true", "setCapacity 0", "clear false"}));
}

class TProbe {
public:
    TProbe(int id, std::vector<int>& deleted) : id(id), deleted(deleted) {}
    virtual ~TProbe() { deleted.push_back(id); }

private:
    int id;
    std::vector<int>& deleted;
};

static_assert(!std::is_copy_constructible_v<TPointerArray<TProbe*>> &&
                  std::is_nothrow_move_constructible_v<TPointerArray<TProbe*>>,
              "a pointer array moves and is never copied");

// Returned by a move (two candidates defeat the elision).
TPointerArray<TProbe*> probes(std::vector<int>& deleted, std::initializer_list<int> ids) {
    TPointerArray<TProbe*> made, none;
    for (int id : ids) {
        made.add(id == 0 ? nullptr : new TProbe(id, deleted));
    }
    return ids.size() > 0 ? std::move(made) : std::move(none);
}

TEST(TPointerArrayOwnership, OnlyDestructionDeletesLastToFirst) {
    std::vector<int> deleted;
    {
        TPointerArray<TProbe*> array = probes(deleted, {1, 0, 2});
        array = probes(deleted, {3, 4});
        EXPECT_EQ(deleted, (std::vector<int>{2, 1}));
    }
    EXPECT_EQ(deleted, (std::vector<int>{2, 1, 4, 3}));

    using Drop = void (*)(TPointerArray<TProbe*>&, TProbe*);
    for (Drop drop : {+[](TPointerArray<TProbe*>&a, TProbe*) { a.clear(true); },
                      +[](TPointerArray<TProbe*>&a, TProbe*) { a.removeAt(0, true); },
                      +[](TPointerArray<TProbe*>&a, TProbe*p) { a.removeAll(p, true); },
                      +[](TPointerArray<TProbe*>&a, TProbe*) { a.setCapacity(0); }}) {
        std::vector<int> dropped;
        TProbe kept(5, dropped);
        {
            TPointerArray<TProbe*> array;
            array.add(&kept);
            drop(array, &kept);
        }
        EXPECT_TRUE(dropped.empty());
    }
}

}  // namespace
