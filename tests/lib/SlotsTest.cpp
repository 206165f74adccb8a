// The objects' tables as a host numbers them: every slot of ulIApplication and ulIPackage is
// reached by its number, object results come back through the address that the caller passes,
// and slot 0 destroys (and with bit 0 frees) the object.
#include "lib/LibraryFixture.h"

#include "support/Slots.h"

#include <new>

namespace OrvaneTest {
namespace {

using OrvaneLib::TPointerArray;
using OrvaneLib::TString;
using OrvaneLib::ulIApplication;
using OrvaneLib::ulIPackage;
using Slots = LibraryTest;

// An object result built at the caller's address, which the slot returns.
template <typename T, typename... Args>
T resultOf(const void* object, size_t slot, Args... args) {
    alignas(T) unsigned char storage[sizeof(T)];
    T* built = callSlot<T*>(object, slot, reinterpret_cast<T*>(storage), args...);
    EXPECT_EQ(static_cast<void*>(built), static_cast<void*>(storage));
    T result(std::move(*built));
    built->~T();
    return result;
}

std::string textOf(const void* object, size_t slot) {
    return resultOf<TString>(object, slot).c_str();
}

TEST_F(Slots, EveryApplicationOperationHasItsNumber) {
    ulIApplication* game = createApplication("42");
    const TString path("C:\\Games\\42\\42.exe"), folder("C:\\Games\\42"), name("Forty-two"),
        version("4.2"), icon("C:\\Games\\42\\42.exe,0"), flags("RUNASADMIN"), dlc("dlc");
    EXPECT_FALSE(callSlot<bool>(game, 2));
    EXPECT_TRUE(callSlot<bool>(game, 1, &path, &folder, &name, &version, &icon));
    EXPECT_TRUE(callSlot<bool>(game, 2));
    EXPECT_EQ(textOf(game, 4), path.c_str());
    EXPECT_EQ(textOf(game, 5), folder.c_str());
    EXPECT_EQ(textOf(game, 6), version.c_str());
    EXPECT_EQ(textOf(game, 7), name.c_str());
    callSlot<void>(game, 8, uint64_t{8});
    callSlot<void>(game, 10, uint64_t{10});
    EXPECT_EQ(callSlot<uint64_t>(game, 9), 8u);
    EXPECT_EQ(callSlot<uint64_t>(game, 11), 10u);
    callSlot<void>(game, 12, &flags);
    EXPECT_EQ(textOf(game, 13), flags.c_str());
    callSlot<void>(game, 17, int32_t{17});
    callSlot<void>(game, 18, int32_t{18});
    EXPECT_EQ(callSlot<int32_t>(game, 16), 17);
    EXPECT_EQ(callSlot<int32_t>(game, 19), 18);

    auto* package = callSlot<ulIPackage*>(game, 14, &dlc);
    EXPECT_TRUE(callSlot<bool>(package, 1, &path, &version));
    EXPECT_TRUE(callSlot<bool>(package, 2));
    EXPECT_STREQ(callSlot<const TString*>(package, 3)->c_str(), "dlc");
    EXPECT_EQ(textOf(package, 4), path.c_str());
    EXPECT_EQ(textOf(package, 5), version.c_str());
    EXPECT_EQ(resultOf<TPointerArray<ulIPackage*>>(game, 15).getCount(), 1u);
    EXPECT_TRUE(callSlot<bool>(package, 6));
    EXPECT_FALSE(callSlot<bool>(package, 2));
    EXPECT_EQ(callSlot<void*>(package, 0, 1u), package);
    EXPECT_EQ(callSlot<void*>(game, 0, 1u), game);
    // Under Wine the suites share one registry.
    deleteKeyTree("Software\\Orvane");
    deleteKeyTree(entryKey("42"));
}

}  // namespace
}  // namespace OrvaneTest
