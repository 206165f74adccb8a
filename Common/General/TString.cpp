#include "Common/General/TString.h"

#include "Common/General/Heap.h"
#include "win32/Win32Api.h"

#include <cassert>
#include <cstdio>
#include <cstring>

namespace OrvaneLib {

static_assert(sizeof(TWideChar) == sizeof(WCHAR), "TWideChar is the Windows API's WCHAR");
// The host shares this layout: a virtual table pointer, then data, capacity and length.
static_assert(sizeof(void*) != 4 || sizeof(TString) == 16,
              "TString is 16 bytes in the 32-bit build");

namespace {

const char emptyText[1] = {'\0'};

uint32_t textLength(const char* text) {
    size_t n = strlen(text);
    if (n >= UINT32_MAX) {
        throw std::bad_alloc();  // a 32-bit length cannot hold it
    }
    return static_cast<uint32_t>(n);
}

}  // namespace

TString::TString(const char* text) : TString() {
    if (text != nullptr) {
        assign(text, textLength(text));
    }
    checkInvariants();
}

TString::TString(const TString& other) : TString() {
    takeCopyOf(other);
    checkInvariants();
}

TString::TString(TString&& other) noexcept
    : data(other.data), capacity(other.capacity), length(other.length) {
    other.data = nullptr;
    other.capacity = 0;
    other.length = 0;
    checkInvariants();
}

TString::TString(char c) : TString() {
    data = static_cast<char*>(heapAllocate(2));
    capacity = 2;
    data[0] = c;
    data[1] = '\0';
    // The text never holds a NUL of its own: from NUL the string is empty.
    length = c != '\0' ? 1 : 0;
    checkInvariants();
}

TString::TString(const TWideChar* text) : TString() {
    const WCHAR* wide = reinterpret_cast<const WCHAR*>(text);
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    char* block = static_cast<char*>(heapAllocate(static_cast<size_t>(size)));
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, block, size, nullptr, nullptr) != size) {
        heapFree(block);
        return;
    }
    data = block;
    capacity = static_cast<uint32_t>(size);
    length = capacity - 1;
    checkInvariants();
}

// Large enough for every integer form and for "%8f" of the largest double (309 digits, a sign, a
// point and six decimals).
#define ORVANE_FORMAT_NUMBER(format, value)             \
    do {                                                \
        char buffer[330];                               \
        snprintf(buffer, sizeof buffer, format, value); \
        assign(buffer, textLength(buffer));             \
        checkInvariants();                              \
    } while (false)

TString::TString(int value) : TString() {
    ORVANE_FORMAT_NUMBER("%d", value);
}
TString::TString(long value) : TString() {
    ORVANE_FORMAT_NUMBER("%ld", value);
}
TString::TString(unsigned int value) : TString() {
    ORVANE_FORMAT_NUMBER("%u", value);
}
TString::TString(unsigned long value) : TString() {
    ORVANE_FORMAT_NUMBER("%lu", value);
}
TString::TString(long long value) : TString() {
    ORVANE_FORMAT_NUMBER("%lld", value);
}
TString::TString(unsigned long long value) : TString() {
    ORVANE_FORMAT_NUMBER("%llu", value);
}
TString::TString(double value) : TString() {
    ORVANE_FORMAT_NUMBER("%8f", value);
}
TString::TString(float value) : TString() {
    ORVANE_FORMAT_NUMBER("%8f", static_cast<double>(value));
}

#undef ORVANE_FORMAT_NUMBER

TString::~TString() {
    release();
}

TString& TString::operator=(const TString& other) {
    if (this == &other) {
        return *this;
    }
    if (data == nullptr) {
        takeCopyOf(other);
    } else if (other.data == nullptr) {
        release();
    } else {
        assign(other.data, other.length);
    }
    checkInvariants();
    return *this;
}

TString& TString::operator=(TString&& other) noexcept {
    if (this != &other) {
        release();
        data = other.data;
        capacity = other.capacity;
        length = other.length;
        other.data = nullptr;
        other.capacity = 0;
        other.length = 0;
    }
    checkInvariants();
    return *this;
}

TString& TString::operator=(const char* text) {
    if (text == nullptr) {
        release();
    } else {
        assign(text, textLength(text));
    }
    checkInvariants();
    return *this;
}

TString& TString::operator+=(const TString& other) {
    if (length == 0) {
        return *this = other;
    }
    // Measured before growing: other may be this string.
    uint32_t added = other.length;
    if (added > 0) {
        grow(added);
        memmove(data + length, other.data, added);
        length += added;
        data[length] = '\0';
    }
    checkInvariants();
    return *this;
}

TString& TString::operator+=(const char* text) {
    if (length == 0) {
        return *this = text;
    }
    if (text == nullptr) {
        return *this;
    }
    uint32_t added = textLength(text);
    if (added > 0) {
        // The text may lie inside this block, which growing can move.
        ptrdiff_t offset = offsetInBlock(text);
        grow(added);
        memmove(data + length, offset >= 0 ? data + offset : text, added);
        length += added;
        data[length] = '\0';
    }
    checkInvariants();
    return *this;
}

TString& TString::operator+=(char c) {
    if (c == '\0') {
        return *this;
    }
    if (capacity < length + 2) {
        grow(2);
    }
    data[length++] = c;
    data[length] = '\0';
    checkInvariants();
    return *this;
}

TString& TString::append(const char* text, uint32_t count) {
    if (count == 0) {
        return *this;
    }
    if (capacity < length + count + 1) {
        // The text may lie inside this block, which growing can move.
        const ptrdiff_t offset = offsetInBlock(text);
        grow(data == nullptr ? count : length + count + 1 - capacity);
        text = offset >= 0 ? data + offset : text;
    }
    memmove(data + length, text, count);
    length += count;
    data[length] = '\0';
    checkInvariants();
    return *this;
}

const char* TString::c_str() const {
    return data != nullptr ? data : emptyText;
}

// A new block holds the empty text; a resized one keeps the text and its terminator.
void TString::grow(uint32_t n) {
    if (data == nullptr) {
        data = static_cast<char*>(heapAllocate(static_cast<size_t>(n) + 1));
        data[0] = '\0';
        capacity = n + 1;
        checkInvariants();
        return;
    }
    if (n == 0) {
        return;
    }
    uint32_t newCapacity = capacity + n;
    if (newCapacity < capacity) {
        throw std::bad_alloc();  // beyond 4 GiB: the 32-bit size would wrap
    }
    data = static_cast<char*>(heapReallocate(data, newCapacity));
    capacity = newCapacity;
    checkInvariants();
}

void TString::erase(uint32_t pos, int32_t count) {
    if (pos >= length || count == 0) {
        return;
    }
    uint32_t removed = length - pos;
    if (count > 0 && static_cast<uint32_t>(count) < removed) {
        removed = static_cast<uint32_t>(count);
    }
    memmove(data + pos, data + pos + removed, length - pos - removed);
    length -= removed;
    data[length] = '\0';
    checkInvariants();
}

TString& TString::substring(uint32_t pos, uint32_t count, TString& out) const {
    if (&out == this) {
        TString copy(*this);
        return copy.substring(pos, count, out);
    }
    if (pos >= length) {
        return out = emptyText;
    }
    uint32_t n = length - pos < count ? length - pos : count;
    if (out.capacity < n + 1) {
        char* block = static_cast<char*>(heapAllocate(static_cast<size_t>(n) + 1));
        out.release();
        out.data = block;
        out.capacity = n + 1;
    }
    memcpy(out.data, data + pos, n);
    out.length = n;
    out.data[n] = '\0';
    out.checkInvariants();
    return out;
}

TWideText TString::toWide() const {
    return TWideText(data, length);
}

void TString::concatenate(const TString* const* parts, int count) {
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        total += parts[i]->length;
    }
    if (total == 0) {
        return;
    }
    if (total >= UINT32_MAX) {
        throw std::bad_alloc();
    }
    data = static_cast<char*>(heapAllocate(static_cast<size_t>(total) + 1));
    capacity = static_cast<uint32_t>(total) + 1;
    for (int i = 0; i < count; ++i) {
        memcpy(data + length, parts[i]->c_str(), parts[i]->length);
        length += parts[i]->length;
    }
    data[length] = '\0';
    checkInvariants();
}

// Shared by assignment from text and from another string: the block grows to exactly
// textLength + 1 when it is too small, and is reused otherwise. A text inside this block survives.
void TString::assign(const char* text, uint32_t newLength) {
    if (data == nullptr) {
        data = static_cast<char*>(heapAllocate(static_cast<size_t>(newLength) + 1));
        capacity = newLength + 1;
    } else if (newLength + 1 > capacity) {
        ptrdiff_t offset = offsetInBlock(text);
        grow(newLength + 1 - capacity);
        if (offset >= 0) {
            text = data + offset;
        }
    }
    memmove(data, text, newLength);
    length = newLength;
    data[length] = '\0';
}

ptrdiff_t TString::offsetInBlock(const char* text) const {
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    uintptr_t start = reinterpret_cast<uintptr_t>(data);
    if (data == nullptr || address < start || address >= start + capacity) {
        return -1;
    }
    return static_cast<ptrdiff_t>(address - start);
}

// The copy keeps the source's capacity; only the text and its terminator carry meaning.
void TString::takeCopyOf(const TString& other) {
    if (other.capacity == 0) {
        return;
    }
    data = static_cast<char*>(heapAllocate(other.capacity));
    memcpy(data, other.data, static_cast<size_t>(other.length) + 1);
    capacity = other.capacity;
    length = other.length;
}

void TString::release() noexcept {
    heapFree(data);
    data = nullptr;
    capacity = 0;
    length = 0;
}

#if !ORVANE_NATURAL_SHAPE
TStringImage TByValue<TString>::pass(TString value) {
    TStringImage image{nullptr, value.data, value.capacity, value.length};
    memcpy(&image.vtable, static_cast<const void*>(&value), sizeof image.vtable);
    value.data = nullptr;
    value.capacity = 0;
    value.length = 0;
    return image;
}

TString TByValue<TString>::receive(const TStringImage& passed) {
    TString taken;
    taken.data = passed.data;
    taken.capacity = passed.capacity;
    taken.length = passed.length;
    return taken;
}
#endif

#ifndef NDEBUG
void TString::checkInvariants() const {
    assert(data != nullptr || (capacity == 0 && length == 0));
    assert(data == nullptr || (length < capacity && data[length] == '\0'));
    assert(data == nullptr || memchr(data, '\0', length) == nullptr);
}
#endif

bool operator==(const TString& a, const TString& b) {
    return a.getLength() == b.getLength() && memcmp(a.c_str(), b.c_str(), a.getLength()) == 0;
}

}  // namespace OrvaneLib
