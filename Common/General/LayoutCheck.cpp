// The host executable reads the classes it shares with the library at fixed offsets: the virtual
// table pointer first, then the fields in declaration order, each as wide as a pointer or 32 bits,
// with no padding. In the 32-bit product that is offset 0, then 4, 8, 12, ...
#include "Common/General/TArray.h"
#include "Common/General/TException.h"
#include "Common/General/TString.h"

#include <cstddef>

// offsetof on a class with a virtual table is conditionally supported; GCC gives the real offsets.
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace OrvaneLib {

struct TLayoutCheck {
    static constexpr size_t pointer = sizeof(void*);

    static_assert(offsetof(TString, data) == pointer, "TString: data follows the vptr");
    static_assert(offsetof(TString, capacity) == 2 * pointer, "TString: then capacity");
    static_assert(offsetof(TString, length) == 2 * pointer + 4, "TString: then length");
    static_assert(sizeof(TString) == 2 * pointer + 8, "TString: nothing after length");

    static_assert(offsetof(TException, file) == pointer, "TException: file follows the vptr");
    static_assert(offsetof(TException, categoryName) == 2 * pointer, "TException: categoryName");
    static_assert(offsetof(TException, detail) == 3 * pointer, "TException: detail");
    static_assert(offsetof(TException, message) == 4 * pointer, "TException: message");
    static_assert(offsetof(TException, category) == 5 * pointer, "TException: category");
    static_assert(offsetof(TException, line) == 5 * pointer + 4, "TException: line");
    static_assert(offsetof(TException, severity) == 5 * pointer + 8, "TException: severity");
    static_assert(offsetof(TException, systemError) == 5 * pointer + 12, "TException: systemError");
    static_assert(sizeof(TException) == 5 * pointer + 16, "TException: nothing after systemError");
};

// A subclass that adds nothing sees the protected fields at the offsets they have in TArray.
struct TStringArrayLayout : TArray<TString> {
    static void check() {
        constexpr size_t pointer = sizeof(void*);
        static_assert(offsetof(TStringArrayLayout, count) == pointer, "TArray: count after vptr");
        static_assert(offsetof(TStringArrayLayout, data) == 2 * pointer, "TArray: then data");
        static_assert(offsetof(TStringArrayLayout, slots) == 3 * pointer, "TArray: then capacity");
        static_assert(sizeof(TStringArrayLayout) == sizeof(TArray<TString>) &&
                          sizeof(TArray<TString>) == 4 * pointer,
                      "TArray: nothing after capacity");
    }
};

}  // namespace OrvaneLib
