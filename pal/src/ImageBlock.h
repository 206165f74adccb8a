// An array of fixed capacity in memory of its own, for the hive image: zero-filled, and asked for
// in transparent huge pages. Touching a page for the first time is costly (under some hypervisors
// far more than the work done with it), and the image touches tens of megabytes at once: one huge
// page stands for 512 small ones. A system without them gives small pages and nothing else
// changes. Elements are trivially copyable; the capacity is set once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace OrvaneLib::Pal {

template <class T>
class TImageBlock {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    TImageBlock() = default;
    ~TImageBlock() { release(); }
    TImageBlock(const TImageBlock&) = delete;
    TImageBlock& operator=(const TImageBlock&) = delete;

    // False when the memory can not be had; a block holds memory for one capacity only.
    bool reserve(size_t capacity) {
        release();
        if (capacity == 0) {
            return true;
        }
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        if (capacity > (SIZE_MAX - 2 * hugePage) / sizeof(T)) {
            return false;
        }
        // A block of more than a quarter of a huge page takes whole ones: only whole ones are
        // huge, and the rest of the last would be small pages.
        const size_t unit = capacity * sizeof(T) > hugePage / 4 ? hugePage : page;
        const size_t bytes = (capacity * sizeof(T) + unit - 1) / unit * unit;
        // Mapped with room to start at a huge page's boundary; the room is given back.
        const size_t mapped = unit == page ? bytes : bytes + hugePage;
        void* memory =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return false;
        }
        char* start = static_cast<char*>(memory);
        if (mapped != bytes) {
            const uintptr_t address = reinterpret_cast<uintptr_t>(memory);
            char* aligned = start + ((hugePage - address % hugePage) % hugePage);
            if (aligned != start) {
                munmap(start, static_cast<size_t>(aligned - start));
            }
            const size_t tail = mapped - static_cast<size_t>(aligned - start) - bytes;
            if (tail != 0) {
                munmap(aligned + bytes, tail);
            }
            start = aligned;
            madvise(start, bytes, MADV_HUGEPAGE);
        }
        data_ = reinterpret_cast<T*>(start);
        bytes_ = bytes;
        capacity_ = capacity;
        return true;
    }

    size_t size() const { return size_; }
    // Within the capacity: new elements are zero.
    void resize(size_t size) { size_ = size; }
    // False when the items do not fit.
    bool append(const T* items, size_t count) {
        if (count > capacity_ - size_) {
            return false;
        }
        if (count != 0) {
            memcpy(data_ + size_, items, count * sizeof(T));
        }
        size_ += count;
        return true;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t index) { return data_[index]; }
    const T& operator[](size_t index) const { return data_[index]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

private:
    static constexpr size_t hugePage = size_t(2) << 20;

    void release() {
        if (data_ != nullptr) {
            munmap(data_, bytes_);
        }
        data_ = nullptr;
        bytes_ = capacity_ = size_ = 0;
    }

    T* data_ = nullptr;
    size_t bytes_ = 0;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

}  // namespace OrvaneLib::Pal
