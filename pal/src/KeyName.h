// Key paths and the names of keys and values: splitting, limits and the case-insensitive form in
// which the hive compares and orders them.
#pragma once

#include "pal/inc/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace OrvaneLib::Pal {

constexpr size_t maxKeyNameLength = 255;
constexpr size_t maxValueNameLength = 16383;

// upcaseUnit for a unit above 0x7F.
WCHAR upcaseBeyondAscii(WCHAR unit);

// The Unicode simple upper-case mapping of one UTF-16 unit (units of surrogate pairs stay). ASCII,
// which most names are, is upper-cased in line.
inline WCHAR upcaseUnit(WCHAR unit) {
    if (unit < 0x80) {
        return unit >= u'a' && unit <= u'z' ? static_cast<WCHAR>(unit - 0x20) : unit;
    }
    return upcaseBeyondAscii(unit);
}

// The name upper-cased, as big-endian UTF-16 bytes: compared byte by byte, these order names as
// their upper-case units compare.
std::string foldedName(std::u16string_view name);

// Null counts as the empty text.
std::u16string textOf(LPCWSTR text);

// The names of a key path, each a view of the caller's text.
typedef std::vector<std::u16string_view> TKeyPath;

// Splits a sub-key path into key names. A null or empty path has none. Backslashes separate the
// names; runs of them count as one and trailing ones are ignored, as Windows does. A leading
// backslash gives ERROR_BAD_PATHNAME, a name longer than 255 characters ERROR_INVALID_PARAMETER.
LONG splitKeyPath(LPCWSTR path, TKeyPath& names);

}  // namespace OrvaneLib::Pal
