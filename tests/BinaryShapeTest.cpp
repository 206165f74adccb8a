// The shapes in which objects cross the library boundary: object arguments handed over and taken
// back, std::function images called and destroyed once, the arrays' slots reached by number, and
// the run-time library that a host's import names.
#include "Common/General/FunctionImage.h"
#include "Common/General/Heap.h"
#include "Common/General/ProgressCallback.h"
#include "Common/General/TArray.h"
#include "Common/General/TString.h"

#include "support/Slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace OrvaneLib {
namespace {

using OrvaneTest::callSlot;

TEST(TStringByValue, TheBlockIsHandedOverAndTakenBack) {
    TString text("handed over");
    const char* block = text.c_str();
    const void* vtable = *reinterpret_cast<void* const*>(&text);
    TStringImage image = TByValue<TString>::pass(std::move(text));
    EXPECT_FALSE(text.hasBlock());
    EXPECT_EQ(image.data, block);
    EXPECT_EQ(image.vtable, vtable);
    EXPECT_EQ(image.length, 11u);
    TString taken = TByValue<TString>::receive(image);
    EXPECT_EQ(taken.c_str(), block);
    EXPECT_EQ(taken.getCapacity(), 12u);
}

// A std::function's target that counts what the callee does with it.
struct TCounts {
    int calls = 0;
    std::vector<bool> destroyed;  // the deallocate argument of each destruction
};

class TCountingTarget final : public TFunctionTarget<void, uint32_t, uint32_t> {
public:
    explicit TCountingTarget(TCounts& counts) : counts(counts) {}
    TFunctionTarget* copyTo(void*) const override { return nullptr; }
    TFunctionTarget* moveTo(void*) override { return nullptr; }
    void call(uint32_t&& done, uint32_t&& total) override {
        ++counts.calls;
        EXPECT_LE(done, total);
    }
    const void* targetType() const override { return nullptr; }
    void destroy(bool deallocate) override {
        counts.destroyed.push_back(deallocate);
        if (deallocate) {
            delete this;
        }
    }
    const void* target() const override { return this; }

private:
    TCounts& counts;
};

using TProgressImage = TFunctionImage<void(uint32_t, uint32_t)>;
using TReceivedProgress = TReceivedFunction<void, uint32_t, uint32_t>;

static_assert(sizeof(TProgressImage) == (sizeof(void*) == 4 ? 40 : 64),
              "the size of Microsoft's std::function");

TEST(FunctionImage, AHeapTargetIsCalledAndDestroyedOnceWithItsMemory) {
    TCounts counts;
    TProgressImage image;
    image.setTarget(new TCountingTarget(counts));
    {
        TReceivedProgress received(image);
        received(1, 2);
        received.callable()(2, 2);
    }
    EXPECT_EQ(counts.calls, 2);
    EXPECT_EQ(counts.destroyed, std::vector<bool>{true});
}

// A small callable lives inside the std::function that was passed, so its memory goes with it.
TEST(FunctionImage, ATargetInsideTheImageIsDestroyedInPlace) {
    TCounts counts;
    alignas(TProgressImage) unsigned char bytes[sizeof(TProgressImage)] = {};
    auto* image = new (bytes) TProgressImage();
    image->setTarget(new (bytes) TCountingTarget(counts));
    { TReceivedProgress received(*image); }
    EXPECT_EQ(counts.destroyed, std::vector<bool>{false});
}

TEST(FunctionImage, AnEmptyImageCallsNothing) {
    TProgressImage image;
    TReceivedProgress received(image);
    EXPECT_FALSE(received);
    EXPECT_FALSE(received.callable());
    EXPECT_THROW(received(1, 1), std::bad_function_call);
}

TEST(FunctionImage, AStdFunctionCrossesAndComesBack) {
    std::vector<std::pair<uint32_t, uint32_t>> seen;
    auto image = TByValue<ProgressCallback>::pass(
        [&seen](uint32_t done, uint32_t total) { seen.emplace_back(done, total); });
    {
        auto received = TByValue<ProgressCallback>::receive(image);
        ProgressCallback callback = received.callable();
        callback(512, 2048);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint32_t>>{{512, 2048}}));
    EXPECT_EQ(TByValue<ProgressCallback>::pass(nullptr).getTarget(), nullptr);
}

// The slots of a bag as a host numbers them: 0 destructor, 4 get, 11 removeAll, 13 forEach.
TEST(TArraySlots, ElementOperationsAreReachedByNumber) {
    TArray<TString> array;
    for (const char* text : {"a", "b", "a"}) {
        array.add(TString(text));
    }
    alignas(TString) unsigned char storage[sizeof(TString)];
    TString* got = callSlot<TString*>(&array, 4, reinterpret_cast<TString*>(storage), 1u);
    EXPECT_STREQ(got->c_str(), "b");
    got->~TString();

    callSlot<void>(&array, 11, TByValue<TString>::pass(TString("a")), false);
    ASSERT_EQ(array.getCount(), 1u);

    std::string visited;
    callSlot<void>(&array, 13, TByValue<TArray<TString>::TAction>::pass([&](TString& element) {
        visited += element.c_str();
    }));
    EXPECT_EQ(visited, "b");

    auto* packages = new TPointerArray<TArray<TString>*>();
    packages->add(new TArray<TString>(array));
    EXPECT_EQ(packages->get(0)->getCount(), 1u);
    EXPECT_EQ(callSlot<void*>(packages, 0, 1u), packages);  // deletes both arrays
}

TEST(TArraySlots, TheDestructorSlotDestroysWithoutFreeingWhenAsked) {
    alignas(TArray<TString>) unsigned char storage[sizeof(TArray<TString>)];
    auto* array = new (storage) TArray<TString>();
    array->add(TString("in place"));
    EXPECT_EQ(callSlot<void*>(array, 0, 0u), array);
}

struct TRuntimeCase {
    const char* dll;
    TRuntimeLibrary runtime;
};

class RuntimeLibraries : public ::testing::TestWithParam<TRuntimeCase> {};

TEST_P(RuntimeLibraries, AreKnownByTheirImportNames) {
    EXPECT_EQ(runtimeLibraryOf(GetParam().dll), GetParam().runtime) << GetParam().dll;
}

INSTANTIATE_TEST_SUITE_P(
    Names, RuntimeLibraries,
    ::testing::Values(TRuntimeCase{"ucrtbase.dll", TRuntimeLibrary::ucrt},
                      TRuntimeCase{"UCRTBASED.DLL", TRuntimeLibrary::ucrt},
                      TRuntimeCase{"api-ms-win-crt-heap-l1-1-0.dll", TRuntimeLibrary::ucrt},
                      TRuntimeCase{"api-ms-win-crt-string-l1-1-0.dll", TRuntimeLibrary::none},
                      TRuntimeCase{"msvcrt.dll", TRuntimeLibrary::msvcrt},
                      TRuntimeCase{"MSVCR120.dll", TRuntimeLibrary::msvcrNN},
                      TRuntimeCase{"msvcr71d.dll", TRuntimeLibrary::msvcrNN},
                      TRuntimeCase{"msvcr.dll", TRuntimeLibrary::none},
                      TRuntimeCase{"msvcr100.dll.mui", TRuntimeLibrary::none},
                      TRuntimeCase{"msvcp140.dll", TRuntimeLibrary::none},
                      TRuntimeCase{"kernel32.dll", TRuntimeLibrary::none}));

}  // namespace
}  // namespace OrvaneLib
