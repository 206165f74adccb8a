#include "pal/src/Utf.h"

namespace OrvaneLib::Pal {

namespace {

constexpr TCodePoint malformed() {
    return {kReplacementCharacter, true};
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

// A malformed sequence becomes one U+FFFD and is consumed as Windows consumes it: a byte that can
// not start a sequence alone; a lead byte with the continuation bytes that follow it, up to the
// first byte that does not continue it; and a lead byte together with a first continuation byte
// that is out of range for it (an overlong form, an encoded surrogate or a value above U+10FFFF).
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

// An unpaired surrogate becomes U+FFFD.
TCodePoint readUtf16(const char16_t*& in, const char16_t* end) {
    const char32_t unit = *in++;
    if (isHighSurrogate(unit) && in != end && isLowSurrogate(*in)) {
        return {0x10000 + ((unit - 0xD800) << 10) + (*in++ - 0xDC00), false};
    }
    if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
        return malformed();
    }
    return {unit, false};
}

int writeUtf16(char32_t value, char16_t* units) {
    if (value < 0x10000) {
        units[0] = static_cast<char16_t>(value);
        return 1;
    }
    value -= 0x10000;
    units[0] = static_cast<char16_t>(0xD800 + (value >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
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

bool utf8FromUtf16(const std::u16string& text, std::string& utf8) {
    utf8.clear();
    utf8.reserve(text.size());
    const char16_t* in = text.data();
    const char16_t* const end = in + text.size();
    while (in < end) {
        if (*in < 0x80) {
            utf8 += static_cast<char>(*in++);  // ASCII, which paths mostly are
            continue;
        }
        const TCodePoint point = readUtf16(in, end);
        if (point.malformed) {
            return false;
        }
        char bytes[4];
        utf8.append(bytes, writeUtf8(point.value, bytes));
    }
    return true;
}

std::u16string utf16FromUtf8(const std::string& utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = in + utf8.size();
    while (in < end) {
        if (*in < 0x80) {
            text += static_cast<char16_t>(*in++);
            continue;
        }
        char16_t units[2];
        text.append(units, writeUtf16(readUtf8(in, end).value, units));
    }
    return text;
}

}  // namespace OrvaneLib::Pal
