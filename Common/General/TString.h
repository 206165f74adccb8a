// TString: the library's one string type, shared in layout and heap with the host executable.
#pragma once

#include "Common/General/BinaryShape.h"

#include <cstddef>
#include <cstdint>

namespace OrvaneLib {

// The 16-bit character of the Windows API (WCHAR): wchar_t on Windows, char16_t elsewhere.
#ifdef _WIN32
using TWideChar = wchar_t;
#else
using TWideChar = char16_t;
#endif

class TStream;
class TWideText;
template <int N>
class TConcat;

// UTF-8 text in one block from the C runtime heap (malloc/realloc/free), so that a string made on
// one side of the library boundary can be freed on the other. There is no small-string buffer and
// no spare room is kept: assignments grow the block to exactly length + 1 and appends grow it by
// exactly the appended length. Build long texts with operator+ over up to seven operands, which
// allocates once.
//
// Invariants:
//   data == nullptr  =>  capacity == 0 && length == 0            (empty, owns nothing)
//   data != nullptr  =>  length + 1 <= capacity && data[length] == '\0'
// The text holds no NUL byte of its own. No operation shrinks a block except by freeing it.
// An allocation the heap cannot satisfy throws std::bad_alloc and leaves the string unchanged.
class TString final {
public:
    TString() noexcept : data(nullptr), capacity(0), length(0) {}
    // A null text gives no block; an empty text gives a one-byte block.
    TString(const char* text);
    TString(const TString& other);
    TString(TString&& other) noexcept;
    explicit TString(char c);
    // From UTF-16; null or unconvertible text gives no block.
    explicit TString(const TWideChar* text);
    template <int N>
    TString(const TConcat<N>& parts);

    // Decimal text of a number, as sprintf formats it.
    explicit TString(int value);                 // "%d"
    explicit TString(long value);                // "%ld"
    explicit TString(unsigned int value);        // "%u"
    explicit TString(unsigned long value);       // "%lu"
    explicit TString(long long value);           // "%lld"
    explicit TString(unsigned long long value);  // "%llu"
    explicit TString(double value);              // "%8f", complete for any magnitude
    explicit TString(float value);               // "%8f" of the value widened to double

    // Slot 0, the one virtual operation (see BinaryShape.h).
    ORVANE_FINAL_DESTRUCTOR(TString)

    TString& operator=(const TString& other);
    TString& operator=(TString&& other) noexcept;
    TString& operator=(const char* text);

    TString& operator+=(const TString& other);
    TString& operator+=(const char* text);
    TString& operator+=(char c);
    // The first count bytes of text, which holds no NUL among them; a zero count changes nothing.
    // It fills the block's spare room first and grows it only by what does not fit (the appends of
    // a string grow it by their whole length).
    TString& append(const char* text, uint32_t count);

    // Never null: the text, or a shared empty text when there is no block.
    const char* c_str() const;
    uint32_t getLength() const { return length; }
    uint32_t getCapacity() const { return capacity; }
    bool isEmpty() const { return length == 0; }
    bool hasBlock() const { return data != nullptr; }

    // Enlarges the block by exactly n bytes (no block: a new one of n + 1 bytes). Looks neither at
    // the text nor at the terminator.
    void grow(uint32_t n);
    // Removes count bytes from pos (a negative count: everything from pos). The block keeps its
    // size.
    void erase(uint32_t pos, int32_t count);
    // out receives at most count bytes from pos.
    TString& substring(uint32_t pos, uint32_t count, TString& out) const;
    // Replaces the text with the whole content of a stream; false when the stream's copy failed.
    // The text ends at the content's first NUL byte, as a C text would: the bytes after it are not
    // taken. A stream of 1000 MiB or more is reported first (severity 2). A block too small for the
    // content and its NUL grows to exactly that; a string without a block gets one byte more.
    bool readFrom(TStream& stream);
    // The UTF-16 form for a Windows call; its pointer is null when this string has no block.
    TWideText toWide() const;

    // Negative, zero or positive. Case-sensitive order compares bytes as signed 8-bit values.
    int compare(const TString& other, bool caseSensitive) const;
    // Case-sensitive; an empty prefix never matches.
    bool startsWith(const TString& prefix) const;
    // Searches forward from position; on success position is the match. A failed find leaves
    // position one past the last possible start, a failed findChar at the length, a failed
    // findLastChar (which always starts at the end) at UINT32_MAX; a start beyond the text fails
    // with position untouched. Case-insensitive, a byte matches itself and its ASCII case partner
    // only (A-Z folded as the runtime's default locale folds them), so valid UTF-8 matches as its
    // UTF-16 form would, and no two different bytes above 0x7F ever match; a case-insensitive
    // find takes time linear in the length of the text.
    bool find(const TString& needle, uint32_t& position, bool caseSensitive) const;
    bool find(const char* needle, uint32_t& position, bool caseSensitive) const;
    bool findChar(char c, uint32_t& position, bool caseSensitive) const;
    bool findLastChar(char c, uint32_t& position, bool caseSensitive) const;
    // Matches as findChar does. Replacing with NUL is ignored: the text holds no NUL of its own.
    void replaceChar(char from, char to, bool caseSensitive);
    // atol of the text, clamped to the signed 32-bit range; 0 for an empty string.
    int32_t toInt() const;
    // The same parse over the signed 64-bit range.
    int64_t toInt64() const;

private:
    template <int N>
    friend class TConcat;
    friend struct TLayoutCheck;
    friend struct TByValue<TString>;

    bool find(const char* needle, uint32_t needleLength, uint32_t& position,
              bool caseSensitive) const;
    bool charMatches(uint32_t index, char c, bool caseSensitive) const;
    void concatenate(const TString* const* parts, int count);
    void assign(const char* text, uint32_t textLength);
    void takeCopyOf(const TString& other);
    // Offset of text inside this string's block, or -1 when it lies elsewhere.
    ptrdiff_t offsetInBlock(const char* text) const;
    void release() noexcept;
    // Asserts the invariants above; every operation that changes a string ends with it. Nothing is
    // checked in NDEBUG builds.
#ifdef NDEBUG
    void checkInvariants() const {}
#else
    void checkInvariants() const;
#endif

    char* data;
    uint32_t capacity;
    uint32_t length;
};

// a + b + ... over up to seven TString operands, built as one string with one allocation. The
// operands are held by reference: materialise the result within the full expression.
template <int N>
class TConcat {
    static_assert(N >= 2 && N <= 7, "TString concatenation takes two to seven operands");

public:
    TConcat(const TString* const* head, const TString& last) {
        for (int i = 0; i < N - 1; ++i) {
            parts_[i] = head[i];
        }
        parts_[N - 1] = &last;
    }
    TConcat(const TConcat&) = default;
    TConcat& operator=(const TConcat&) = delete;

    TConcat<N + 1> operator+(const TString& last) const { return TConcat<N + 1>(parts_, last); }

private:
    friend class TString;
    const TString* parts_[N];
};

template <int N>
TString::TString(const TConcat<N>& parts) : TString() {
    concatenate(parts.parts_, N);
}

inline TConcat<2> operator+(const TString& a, const TString& b) {
    const TString* first[1] = {&a};
    return TConcat<2>(first, b);
}

// Case-insensitive comparison of NUL-terminated UTF-8 texts through their UTF-16 form, folding only
// A-Z as the runtime's default locale does.
int compareNoCase(const char* a, const char* b);
// 0 when text begins with prefix (an empty prefix always does).
int startsWithNoCase(const char* text, const char* prefix);
// 0 when the first UTF-16 units of text and character are equal.
int sameFirstCharNoCase(const char* text, const char* character);

// Equal length and equal bytes; two empty strings are equal whatever their blocks.
bool operator==(const TString& a, const TString& b);
inline bool operator!=(const TString& a, const TString& b) {
    return !(a == b);
}

#if !ORVANE_NATURAL_SHAPE
// A TString argument by value: the caller hands its block over, the callee takes it back and frees
// it. The image holds the object's bytes: its virtual table pointer (unused) and its fields.
struct TStringImage {
    const void* vtable;
    char* data;
    uint32_t capacity;
    uint32_t length;
};

template <>
struct TByValue<TString> {
    using Passed = TStringImage;
    using Received = TString;
    static Passed pass(TString value);
    static Received receive(const Passed& passed);
};
#endif

}  // namespace OrvaneLib

#include "Common/General/TWideText.h"
