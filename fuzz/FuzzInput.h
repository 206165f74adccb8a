// What the fuzz targets share: a reader that turns any input into a series of choices, a check
// that stops the run with a message, and the string checks against a std::string model.
#pragma once

#include "Common/General/TString.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Unlike assert, also checked in builds with NDEBUG; libFuzzer keeps the input that failed.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (false)

namespace OrvaneFuzz {

// Reads the input from the front: a byte for each choice, a length before each run of bytes. An
// exhausted input reads as zeros, so that every input is a valid series of operations and the
// seeds can be written by hand.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size) : next(data), end(data + size) {}

    bool atEnd() const { return next == end; }
    uint8_t byte() { return next != end ? *next++ : 0; }
    bool flag() { return (byte() & 1) != 0; }
    // 0 to limit: one byte, two when limit is above 255.
    uint32_t upTo(uint32_t limit) {
        uint32_t value = byte();
        if (limit > 255) {
            value = value << 8 | byte();
        }
        return value % (limit + 1);
    }
    // limit below to limit above a base, for offsets and counts that may go wrong either way.
    int64_t around(int64_t base, uint32_t below, uint32_t above) {
        return base - below + static_cast<int64_t>(upTo(below + above));
    }
    // Up to maxLength bytes, NUL bytes included.
    std::string bytes(uint32_t maxLength) {
        size_t n = std::min<size_t>(upTo(maxLength), static_cast<size_t>(end - next));
        std::string out(reinterpret_cast<const char*>(next), n);
        next += n;
        return out;
    }

private:
    const uint8_t* next;
    const uint8_t* end;
};

// Runs the whole input as steps, each on one of two subjects (picked by a byte) with the other at
// hand, and checks both against their models after every step.
template <typename TSubject, typename TModel, typename TStep, typename TCheck>
void runSteps(TFuzzInput& in, TSubject (&subjects)[2], TModel (&models)[2], TStep step,
              TCheck check) {
    while (!in.atEnd()) {
        int i = in.byte() & 1;
        step(subjects[i], models[i], subjects[1 - i], models[1 - i]);
        check(subjects[0], models[0]);
        check(subjects[1], models[1]);
    }
}

// What a C text of these bytes holds: everything before the first NUL.
inline std::string asText(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// The invariants a TString states, and its text against the model's.
inline void checkString(const OrvaneLib::TString& s, const std::string& model) {
    FUZZ_CHECK(s.getLength() == model.size());
    FUZZ_CHECK(memcmp(s.c_str(), model.data(), model.size()) == 0);
    FUZZ_CHECK(strlen(s.c_str()) == s.getLength());
    if (s.hasBlock()) {
        FUZZ_CHECK(s.getLength() < s.getCapacity());
    } else {
        FUZZ_CHECK(s.getCapacity() == 0 && s.getLength() == 0);
    }
}

}  // namespace OrvaneFuzz
