#include "Common/General/TString.h"

#include "win32/Win32Api.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace OrvaneLib {

namespace {

const WCHAR* wide(const TWideText& text) {
    return reinterpret_cast<const WCHAR*>(text.get());
}

// The runtime's default locale folds A-Z onto a-z and nothing else. On bytes this keeps valid UTF-8
// matching as its UTF-16 form does (no byte of a multi-byte sequence is ASCII), while two different
// bytes above 0x7F never match, as they would once both became U+FFFD.
unsigned char foldCase(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Knuth-Morris-Pratt over folded bytes, from position to the end of text: each byte of the text is
// compared a bounded number of times, whatever the needle. The leftmost match, or
// textLength - needleLength + 1 when there is none.
uint32_t findFolded(const char* text, uint32_t textLength, const char* needle,
                    uint32_t needleLength, uint32_t position) {
    // border[i]: the length of the longest proper prefix of needle[0..i] that also ends it.
    std::vector<uint32_t> border(needleLength, 0);
    for (uint32_t i = 1, k = 0; i < needleLength; ++i) {
        while (k > 0 && foldCase(needle[i]) != foldCase(needle[k])) {
            k = border[k - 1];
        }
        if (foldCase(needle[i]) == foldCase(needle[k])) {
            ++k;
        }
        border[i] = k;
    }
    uint32_t matched = 0;
    for (uint32_t i = position; i < textLength; ++i) {
        unsigned char byte = foldCase(text[i]);
        while (matched > 0 && byte != foldCase(needle[matched])) {
            matched = border[matched - 1];
        }
        if (byte == foldCase(needle[matched]) && ++matched == needleLength) {
            return i + 1 - needleLength;
        }
    }
    return textLength - needleLength + 1;
}

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

}  // namespace

// ASCII compares as its UTF-16 form does, unit for unit; from the first other byte on, the rest
// is compared in UTF-16. Most names and paths are ASCII.
int compareNoCase(const char* a, const char* b) {
    for (; isAscii(*a) && isAscii(*b); ++a, ++b) {
        const int difference = foldCase(*a) - foldCase(*b);
        if (difference != 0 || *a == 0) {
            return difference;
        }
    }
    TWideText wideA(a);
    TWideText wideB(b);
    return _wcsicmp(wide(wideA), wide(wideB));
}

int startsWithNoCase(const char* text, const char* prefix) {
    for (; isAscii(*text) && isAscii(*prefix); ++text, ++prefix) {
        if (*prefix == 0) {
            return 0;
        }
        const int difference = foldCase(*text) - foldCase(*prefix);
        if (difference != 0) {
            return difference;
        }
    }
    TWideText wideText(text);
    TWideText widePrefix(prefix);
    if (widePrefix.getLength() == 0) {
        return 0;
    }
    return _wcsnicmp(wide(wideText), wide(widePrefix), static_cast<size_t>(widePrefix.getLength()));
}

int sameFirstCharNoCase(const char* text, const char* character) {
    TWideText wideText(text);
    TWideText wideCharacter(character);
    return _wcsnicmp(wide(wideText), wide(wideCharacter), 1);
}

int TString::compare(const TString& other, bool caseSensitive) const {
    if (isEmpty()) {
        return other.isEmpty() ? 0 : -1;
    }
    if (other.isEmpty()) {
        return 1;
    }
    if (!caseSensitive) {
        return compareNoCase(data, other.data);
    }
    // Bytes as signed 8-bit values: UTF-8 lead and continuation bytes sort before ASCII.
    const signed char* a = reinterpret_cast<const signed char*>(data);
    const signed char* b = reinterpret_cast<const signed char*>(other.data);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a - *b;
}

bool TString::startsWith(const TString& prefix) const {
    if (prefix.isEmpty() || length < prefix.length) {
        return false;
    }
    return memcmp(data, prefix.data, prefix.length) == 0;
}

bool TString::find(const TString& needle, uint32_t& position, bool caseSensitive) const {
    return find(needle.c_str(), needle.length, position, caseSensitive);
}

bool TString::find(const char* needle, uint32_t& position, bool caseSensitive) const {
    if (needle == nullptr) {
        return false;
    }
    size_t needleLength = strlen(needle);
    if (needleLength > length) {
        return false;
    }
    return find(needle, static_cast<uint32_t>(needleLength), position, caseSensitive);
}

// A failed search that began at or before the last possible start leaves position one past it.
bool TString::find(const char* needle, uint32_t needleLength, uint32_t& position,
                   bool caseSensitive) const {
    if (needleLength == 0 || needleLength > length) {
        return false;
    }
    uint32_t last = length - needleLength;
    if (position > last) {
        return false;
    }
    if (!caseSensitive) {
        position = findFolded(data, length, needle, needleLength, position);
        return position <= last;
    }
    for (; position <= last; ++position) {
        if (memcmp(data + position, needle, needleLength) == 0) {
            return true;
        }
    }
    return false;
}

bool TString::charMatches(uint32_t index, char c, bool caseSensitive) const {
    return caseSensitive ? data[index] == c : foldCase(data[index]) == foldCase(c);
}

bool TString::findChar(char c, uint32_t& position, bool caseSensitive) const {
    if (isEmpty() || position > length - 1) {
        return false;
    }
    for (uint32_t index = position; index < length; ++index) {
        if (charMatches(index, c, caseSensitive)) {
            position = index;
            return true;
        }
    }
    position = length;
    return false;
}

bool TString::findLastChar(char c, uint32_t& position, bool caseSensitive) const {
    if (isEmpty()) {
        return false;
    }
    for (uint32_t index = length; index-- > 0;) {
        if (charMatches(index, c, caseSensitive)) {
            position = index;
            return true;
        }
    }
    position = UINT32_MAX;
    return false;
}

void TString::replaceChar(char from, char to, bool caseSensitive) {
    // A NUL would cut the text short of its recorded length.
    if (to == '\0') {
        return;
    }
    for (uint32_t index = 0; index < length; ++index) {
        if (charMatches(index, from, caseSensitive)) {
            data[index] = to;
        }
    }
    checkInvariants();
}

int32_t TString::toInt() const {
    int64_t value = toInt64();
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

int64_t TString::toInt64() const {
    if (isEmpty()) {
        return 0;
    }
    // strtoll skips leading white space, takes a sign and digits up to the first other character,
    // and clamps to the 64-bit range.
    return strtoll(data, nullptr, 10);
}

}  // namespace OrvaneLib
