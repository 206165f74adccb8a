#include "pal/src/KernelFault.h"
#include "pal/src/Utf.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

using namespace OrvaneLib::Pal;

namespace {

// Converts [in, end) into `output`, or only counts the units when `capacity` is 0. The whole input
// is converted before malformed input fails a strict call, as Windows does. A count that does not
// fit in an int is reported like an output that does not fit.
template <typename In, typename Out, typename Read, typename Write>
int convert(const In* in, const In* end, Out* output, int capacity, bool strict, Read read,
            Write write) {
    const int limit = capacity == 0 ? INT_MAX : capacity;
    int length = 0;
    bool anyMalformed = false;
    // False when the units do not fit.
    auto put = [&](auto first, auto last) {
        if (last - first > limit - length) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
        if (capacity != 0) {
            std::copy(first, last, output + length);
        }
        length += static_cast<int>(last - first);
        return true;
    };
    while (in < end) {
        // ASCII is one unit in both forms, and most text is names and paths: a run of it is
        // copied as it stands.
        const In* run = in;
        while (run < end && *run < 0x80) {
            ++run;
        }
        if (!put(in, run)) {
            return 0;
        }
        in = run;
        if (in == end) {
            break;
        }
        Out units[4];
        const TCodePoint point = read(in, end);
        anyMalformed |= point.malformed;
        if (!put(units, units + write(point.value, units))) {
            return 0;
        }
    }
    if (anyMalformed && strict) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return length;
}

// The checks both directions make before looking at the code page, in Windows' order. A negative
// count means the text runs up to and including its terminator.
template <typename In, typename Out>
bool checkBuffers(const In* input, int count, const Out* output, int capacity, const In*& end) {
    if (input == nullptr || count == 0 || (output == nullptr && capacity != 0) || capacity < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    end =
        input + (count > 0 ? static_cast<size_t>(count) : std::char_traits<In>::length(input) + 1);
    return true;
}

bool checkCodePage(UINT codePage, DWORD flags, DWORD allowedFlags) {
    if (codePage != CP_UTF8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if ((flags & ~allowedFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return false;
    }
    return true;
}

int foldCase(WCHAR unit) {
    return unit >= u'A' && unit <= u'Z' ? unit - u'A' + u'a' : unit;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                               LPWSTR wide, int wideCount) {
    if (palFailsWithLastError("MultiByteToWideChar")) {
        return 0;
    }
    const char* end = nullptr;
    if (!checkBuffers(multiByte, multiByteCount, wide, wideCount, end)) {
        return 0;
    }
    // Windows refuses to convert text onto itself.
    if (static_cast<const void*>(multiByte) == static_cast<const void*>(wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!checkCodePage(codePage, flags, MB_ERR_INVALID_CHARS)) {
        return 0;
    }
    return convert(reinterpret_cast<const unsigned char*>(multiByte),
                   reinterpret_cast<const unsigned char*>(end), wide, wideCount,
                   (flags & MB_ERR_INVALID_CHARS) != 0, readUtf8, writeUtf16);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideCount,
                               LPSTR multiByte, int multiByteCount, LPCCH defaultChar,
                               LPBOOL usedDefaultChar) {
    if (palFailsWithLastError("WideCharToMultiByte")) {
        return 0;
    }
    const WCHAR* end = nullptr;
    if (!checkBuffers(wide, wideCount, multiByte, multiByteCount, end)) {
        return 0;
    }
    // UTF-8 can encode every character, so it has no default character to report.
    if (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!checkCodePage(codePage, flags, WC_ERR_INVALID_CHARS)) {
        return 0;
    }
    return convert(wide, end, multiByte, multiByteCount, (flags & WC_ERR_INVALID_CHARS) != 0,
                   readUtf16, writeUtf8);
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) {
    if (count == 0) {
        return 0;
    }
    if (a == nullptr || b == nullptr) {
        errno = EINVAL;
        return _NLSCMPERROR;
    }
    for (; count > 0; --count, ++a, ++b) {
        const int difference = foldCase(*a) - foldCase(*b);
        if (difference != 0 || *a == 0) {
            return difference;
        }
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return _wcsnicmp(a, b, SIZE_MAX);
}
