// The C runtime heap that strings, arrays and streams share with the host: blocks allocated on one
// side of the library boundary are freed on the other, so they never come from operator new, and
// on Windows they come from the run-time library that the host executable itself uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace OrvaneLib {

// malloc, realloc and free of one C run-time library.
struct THeap {
    void* (*allocate)(size_t size);
    void* (*reallocate)(void* block, size_t size);
    void (*release)(void* block);
};

// The C run-time libraries of Windows that a host may allocate from, by preference: a host that
// imports the UCRT allocates from it, whatever older run time a library of its own still imports.
enum class TRuntimeLibrary { none, msvcrt, msvcrNN, ucrt };

// Which run-time library a DLL name (compared without regard to case) names: ucrtbase.dll,
// ucrtbased.dll and the api-ms-win-crt-heap-* API sets are the UCRT; msvcr71.dll to msvcr120.dll
// and their debug forms (msvcr120d.dll) are msvcrNN; msvcrt.dll is msvcrt.
TRuntimeLibrary runtimeLibraryOf(const char* dllName);

// On Windows the heap of the run-time library that the process's executable imports: the UCRT
// (ucrtbase.dll or api-ms-win-crt-heap-l1-1-0.dll), else an msvcrNN.dll, else msvcrt.dll; the UCRT
// when it imports none (a run time linked statically uses the process heap, as the UCRT does).
// Elsewhere, and when that is this library's own run time, malloc, realloc and free themselves.
// Found once, at the first use.
const THeap& sharedHeap();

// Null when the heap cannot satisfy the request.
inline void* heapTryAllocate(size_t size) {
    return sharedHeap().allocate(size);
}
inline void* heapTryReallocate(void* block, size_t size) {
    return sharedHeap().reallocate(block, size);
}

// Throws std::bad_alloc instead of returning null.
inline void* heapAllocate(size_t size) {
    void* block = heapTryAllocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

// Throws std::bad_alloc and leaves the block as it was when the heap cannot resize it.
inline void* heapReallocate(void* block, size_t size) {
    void* resized = heapTryReallocate(block, size);
    if (resized == nullptr) {
        throw std::bad_alloc();
    }
    return resized;
}

// Whether a block of this many bytes can be requested at all: the 32-bit build's size_t would
// silently truncate a larger size into a small allocation.
inline bool heapSizeFits(uint64_t bytes) {
    return static_cast<uint64_t>(static_cast<size_t>(bytes)) == bytes;
}

inline void heapFree(void* block) {
    if (block != nullptr) {
        sharedHeap().release(block);
    }
}

}  // namespace OrvaneLib
