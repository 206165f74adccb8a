// Inside the PAL: the one UTF-8/UTF-16 codec, shared by MultiByteToWideChar/WideCharToMultiByte and
// the path mapping. Malformed input is cut and replaced as Windows does it (see readUtf8).
#pragma once

#include <string>

namespace OrvaneLib::Pal {

constexpr char32_t kReplacementCharacter = 0xFFFD;

struct TCodePoint {
    char32_t value;  // kReplacementCharacter when `malformed`
    bool malformed;
};

// Read one character and advance past it; `in` < `end`.
TCodePoint readUtf8(const unsigned char*& in, const unsigned char* end);
TCodePoint readUtf16(const char16_t*& in, const char16_t* end);

// Write one character (at most 4 bytes, 2 units) and return how many were written.
int writeUtf8(char32_t value, char* bytes);
int writeUtf16(char32_t value, char16_t* units);

// UTF-16 to UTF-8; false for an unpaired surrogate.
bool utf8FromUtf16(const std::u16string& text, std::string& utf8);
// UTF-8 to UTF-16; each malformed sequence becomes one U+FFFD, as MultiByteToWideChar without
// flags gives it.
std::u16string utf16FromUtf8(const std::string& utf8);

}  // namespace OrvaneLib::Pal
