// Fixed texts kept in the binary only in scrambled form: each as a data array and a key array of
// the same length, data[i] = plain[i] + key[i] (mod 256). The plain text exists only in a
// temporary made just before use, so that the built binary holds no plain copy.
#pragma once

#include "Common/General/TString.h"

#include <cstddef>

namespace OrvaneLib {

template <size_t N>
class TScrambledText {
public:
    constexpr TScrambledText(const char (&plain)[N], uint32_t seed) : data_{}, key_{} {
        for (size_t i = 0; i < N; ++i) {
            key_[i] = keyByte(seed, i);
            data_[i] = static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) + key_[i]);
        }
    }

    // The plain text, unscrambled into a new string.
    TString text() const {
        char plain[N];
        for (size_t i = 0; i < N; ++i) {
            plain[i] = static_cast<char>(static_cast<unsigned char>(data_[i] - key_[i]));
        }
        return TString(plain);
    }

    // Characters without the terminator.
    static constexpr size_t length() { return N - 1; }

private:
    // Never 0, so that no byte is stored as itself.
    static constexpr unsigned char keyByte(uint32_t seed, size_t i) {
        uint32_t x = seed ^ (static_cast<uint32_t>(i) * 0x9E3779B1u);
        x ^= x >> 15;
        x *= 0x2C1B3C6Du;
        x ^= x >> 12;
        return static_cast<unsigned char>(1 + x % 255);
    }

    unsigned char data_[N];
    unsigned char key_[N];
};

// Keys differ from text to text: the seed is a hash of the text itself.
template <size_t N>
constexpr TScrambledText<N> scramble(const char (&plain)[N]) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < N; ++i) {
        hash = (hash ^ static_cast<unsigned char>(plain[i])) * 16777619u;
    }
    return TScrambledText<N>(plain, hash);
}

}  // namespace OrvaneLib

// The plain text of a literal as a temporary TString; the literal itself is consumed at compile
// time (the constexpr local forces it).
#define ORVANE_TEXT(literal)                                                  \
    ([]() {                                                                   \
        static constexpr auto scrambledText = ::OrvaneLib::scramble(literal); \
        return scrambledText.text();                                          \
    }())
