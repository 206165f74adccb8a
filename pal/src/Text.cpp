#include "pal/src/KernelFault.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct TCodePoint {
    char32_t value;
    bool malformed;
};

constexpr TCodePoint malformed() {
    return {kReplacement, true};
}

// Reads one UTF-8 character and advances past it. A malformed sequence becomes one U+FFFD and is
// consumed as Windows consumes it: a byte that can not start a sequence alone; a lead byte with the
// continuation bytes that follow it, up to the first byte that does not continue it; and a lead
// byte together with a first continuation byte that is out of range for it (an overlong form, an
// encoded surrogate or a value above U+10FFFF).
TCodePoint readUtf8(const unsigned char*& in, const unsigned char* end) {
    const unsigned char lead = *in++;
    if (lead < 0x80) {
        return {lead, false};
    }
    int trailing = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return malformed();
    }
    char32_t value = lead & (0x3F >> trailing);
    for (int i = 0; i < trailing; ++i) {
        if (in == end || (*in & 0xC0) != 0x80) {
            return malformed();
        }
        const unsigned char next = *in++;
        if (i == 0 && (next < low || next > high)) {
            return malformed();
        }
        value = (value << 6) | (next & 0x3F);
    }
    return {value, false};
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Reads one UTF-16 character and advances past it; an unpaired surrogate becomes U+FFFD.
TCodePoint readUtf16(const WCHAR*& in, const WCHAR* end) {
    const char32_t unit = *in++;
    if (isHighSurrogate(unit) && in != end && isLowSurrogate(*in)) {
        return {0x10000 + ((unit - 0xD800) << 10) + (*in++ - 0xDC00), false};
    }
    if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
        return malformed();
    }
    return {unit, false};
}

int writeUtf16(char32_t value, WCHAR* units) {
    if (value < 0x10000) {
        units[0] = static_cast<WCHAR>(value);
        return 1;
    }
    value -= 0x10000;
    units[0] = static_cast<WCHAR>(0xD800 + (value >> 10));
    units[1] = static_cast<WCHAR>(0xDC00 + (value & 0x3FF));
    return 2;
}

int writeUtf8(char32_t value, char* bytes) {
    if (value < 0x80) {
        bytes[0] = static_cast<char>(value);
        return 1;
    }
    static const unsigned char leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    const int length = value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
    for (int i = length - 1; i > 0; --i) {
        bytes[i] = static_cast<char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    bytes[0] = static_cast<char>(leads[length] | value);
    return length;
}

// Converts [in, end) into `output`, or only counts the units when `capacity` is 0. The whole input
// is converted before malformed input fails a strict call, as Windows does. A count that does not
// fit in an int is reported like an output that does not fit.
template <typename In, typename Out, typename Read, typename Write>
int convert(const In* in, const In* end, Out* output, int capacity, bool strict, Read read,
            Write write) {
    const int limit = capacity == 0 ? INT_MAX : capacity;
    int length = 0;
    bool anyMalformed = false;
    while (in < end) {
        const TCodePoint point = read(in, end);
        anyMalformed |= point.malformed;
        Out units[4];
        const int count = write(point.value, units);
        if (count > limit - length) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        if (capacity != 0) {
            std::copy(units, units + count, output + length);
        }
        length += count;
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
