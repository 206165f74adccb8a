// Calls a virtual operation by its slot number, as a host reads the object's table: the table
// pointer first in the object, `this` as the first argument (__thiscall on x86).
#pragma once

#include <cstddef>

namespace OrvaneTest {

#if defined(__i386__)
#define ORVANE_TEST_MEMBER_CALL __attribute__((thiscall))
#else
#define ORVANE_TEST_MEMBER_CALL
#endif

template <typename R, typename... Args>
R callSlot(const void* object, size_t slot, Args... args) {
    using TSlot = R(ORVANE_TEST_MEMBER_CALL*)(const void*, Args...);
    TSlot const* table = *static_cast<TSlot const* const*>(object);
    return table[slot](object, args...);
}

}  // namespace OrvaneTest
