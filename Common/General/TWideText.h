// TWideText: the UTF-16 copy of a UTF-8 text for the length of one Windows call.
#pragma once

#include "Common/General/TString.h"

namespace OrvaneLib {

// Converts with code page 65001 and flags 0, so malformed UTF-8 becomes U+FFFD rather than an
// error. Texts of up to kInlineUnits UTF-16 units (terminator included) stay in the object, which
// lives on the caller's stack; longer ones go to the heap, so that no input size can exhaust the
// stack.
class TWideText {
public:
    static constexpr int kInlineUnits = 264;

    // A null text gives a null pointer, as the Windows API expects for "no text".
    explicit TWideText(const char* text);
    // length: the byte count of text without its terminator.
    TWideText(const char* text, uint32_t length);
    TWideText(const TWideText&) = delete;
    TWideText& operator=(const TWideText&) = delete;
    TWideText(TWideText&&) = delete;
    ~TWideText();

    const TWideChar* get() const { return text_; }
    TWideChar* get() { return text_; }
    // UTF-16 units without the terminator; 0 for a null text.
    int getLength() const { return units_ > 0 ? units_ - 1 : 0; }
    // Bytes including the terminator, as a REG_SZ value stores them.
    uint32_t byteSize() const { return static_cast<uint32_t>(units_) * sizeof(TWideChar); }

private:
    void convert(const char* text, int byteCount);

    TWideChar* text_ = nullptr;
    int units_ = 0;
    bool onHeap_ = false;
    TWideChar inline_[kInlineUnits];
};

}  // namespace OrvaneLib
