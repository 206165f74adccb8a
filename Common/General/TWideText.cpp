#include "Common/General/TWideText.h"

#include "Common/General/Heap.h"
#include "win32/Win32Api.h"

#include <cstring>

namespace OrvaneLib {

TWideText::TWideText(const char* text) {
    if (text != nullptr) {
        convert(text, -1);
    }
}

TWideText::TWideText(const char* text, uint32_t length) {
    if (text == nullptr) {
        return;
    }
    if (length >= static_cast<uint32_t>(INT32_MAX)) {
        throw std::bad_alloc();  // the conversion counts in int
    }
    convert(text, static_cast<int>(length) + 1);
}

TWideText::~TWideText() {
    if (onHeap_) {
        heapFree(text_);
    }
}

// byteCount includes the terminator (or is -1), so the converted text is terminated too.
void TWideText::convert(const char* text, int byteCount) {
    // n bytes of UTF-8 are at most n UTF-16 units: a short text converts in one call.
    const size_t bytes = byteCount < 0 ? strlen(text) + 1 : static_cast<size_t>(byteCount);
    if (bytes <= static_cast<size_t>(kInlineUnits)) {
        const int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(bytes),
                                              reinterpret_cast<WCHAR*>(inline_), kInlineUnits);
        if (units <= 0) {
            inline_[0] = 0;
        }
        text_ = inline_;
        units_ = units > 0 ? units : 1;
        return;
    }
    int units = MultiByteToWideChar(CP_UTF8, 0, text, byteCount, nullptr, 0);
    if (units <= 0) {
        // Not convertible: hand the call an empty text rather than garbage.
        inline_[0] = 0;
        text_ = inline_;
        units_ = 1;
        return;
    }
    TWideChar* buffer = inline_;
    if (units > kInlineUnits) {
        buffer =
            static_cast<TWideChar*>(heapAllocate(static_cast<size_t>(units) * sizeof(TWideChar)));
        onHeap_ = true;
    }
    MultiByteToWideChar(CP_UTF8, 0, text, byteCount, reinterpret_cast<WCHAR*>(buffer), units);
    text_ = buffer;
    units_ = units;
}

}  // namespace OrvaneLib
