// The C runtime heap that strings, arrays and streams share with the host: blocks allocated on one
// side of the library boundary are freed on the other, so they never come from operator new.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>

namespace OrvaneLib {

// Throws std::bad_alloc instead of returning null.
inline void* heapAllocate(size_t size) {
    void* block = malloc(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

// Throws std::bad_alloc and leaves the block as it was when the heap cannot resize it.
inline void* heapReallocate(void* block, size_t size) {
    void* resized = realloc(block, size);
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
    free(block);
}

}  // namespace OrvaneLib
