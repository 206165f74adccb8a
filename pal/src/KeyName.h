// Key paths and the names of keys and values: splitting, limits and the case-insensitive form in
// which the hive compares and orders them.
#pragma once

#include "pal/inc/WinTypes.h"

#include <string>
#include <vector>

namespace OrvaneLib::Pal {

constexpr size_t maxKeyNameLength = 255;
constexpr size_t maxValueNameLength = 16383;

// The Unicode simple upper-case mapping of one UTF-16 unit (units of surrogate pairs stay).
WCHAR upcaseUnit(WCHAR unit);

// The name upper-cased, as big-endian UTF-16 bytes: compared byte by byte, these order names as
// their upper-case units compare.
std::string foldedName(const std::u16string& name);

// Null counts as the empty text.
std::u16string textOf(LPCWSTR text);

// Splits a sub-key path into key names. A null or empty path has none. Backslashes separate the
// names; runs of them count as one and trailing ones are ignored, as Windows does. A leading
// backslash gives ERROR_BAD_PATHNAME, a name longer than 255 characters ERROR_INVALID_PARAMETER.
LONG splitKeyPath(LPCWSTR path, std::vector<std::u16string>& names);

}  // namespace OrvaneLib::Pal
