// The growable arrays that the library and its host share: TArray<TString> for lists of names and
// paths, and TPointerArray<T*>, which owns the objects its elements point to. The host relies on
// the field layout and on the order of the virtual operations, so neither may change.
#pragma once

#include "Common/General/BinaryShape.h"
#include "Common/General/FunctionImage.h"
#include "Common/General/Heap.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <utility>

namespace OrvaneLib {

// Reports (category 3, severity 3) that a block of `bytes` bytes could not be had. Severity 3
// raises; when a handler resumes, the array carries on with its old block.
void reportArrayStorageFailure(uint64_t bytes);

class TAbstractBag {
public:
    TAbstractBag() = default;
    // Slot 0 (see BinaryShape.h).
    ORVANE_INTERFACE_DESTRUCTOR(TAbstractBag)

    virtual void setCapacity(uint32_t n) = 0;
    virtual uint32_t capacity() const = 0;
    virtual void clear(bool releaseStorage) = 0;

    uint32_t getCount() const { return count; }

protected:
    TAbstractBag(const TAbstractBag&) = default;
    TAbstractBag& operator=(const TAbstractBag&) = default;

    uint32_t count = 0;
};

template <typename T>
class TArray;

// Element index of the array that `bag` is (no bounds check beyond a debug assertion).
template <typename T>
const T& elementOf(const TAbstractBag& bag, uint32_t index);

// Slot 4, get: the element by value. Microsoft's compiler returns an object through an address
// that the caller passes and a pointer as it is, so the slot's shape follows the element type
// (see BinaryShape.h). TArray<T> is the one implementation of a bag, whose element this reads.
// No bounds check: index < count is the caller's duty.
template <typename T, bool = kReturnedThroughAddress<T>>
class TBagGet : public TAbstractBag {
public:
    virtual T get(uint32_t index) const { return elementOf<T>(*this, index); }
};

template <typename T>
class TBagGet<T, true> : public TAbstractBag {
public:
    T get(uint32_t index) const {
        return takeResult<T>([&](T* result) { return getInto(result, index); });
    }
    virtual T* getInto(T* result, uint32_t index) const {
        return new (result) T(elementOf<T>(*this, index));
    }
};

// The element-typed operations. TArray<T> is its only implementation (the constructor is private),
// so addAll may read another bag's storage directly. The element of removeAll and the action of
// forEach cross by value (see BinaryShape.h).
template <typename T>
class TBag : public TBagGet<T> {
public:
    using TAction = std::function<void(T&)>;

    virtual uint32_t add(const T& element) = 0;
    virtual uint32_t addArray(const T* elements, uint32_t n) = 0;
    virtual uint32_t addAll(const TBag<T>& other) = 0;
    // count when there is no equal element.
    virtual uint32_t indexOf(const T& element) const = 0;
    virtual bool contains(const T& element) const = 0;
    // Moves the last element into the slot: the order of the others is not kept.
    virtual void removeAt(uint32_t index, bool shrink) = 0;
#if ORVANE_NATURAL_SHAPE
    virtual void removeAll(T element, bool shrink) = 0;
    virtual void swap(uint32_t i, uint32_t j) = 0;
    virtual void forEach(TAction action) = 0;
#else
    void removeAll(T element, bool shrink) {
        removeAllPassed(TByValue<T>::pass(std::move(element)), shrink);
    }
    virtual void removeAllPassed(typename TByValue<T>::Passed element, bool shrink) = 0;
    virtual void swap(uint32_t i, uint32_t j) = 0;
    void forEach(TAction action) {
        forEachPassed(TByValue<TAction>::pass(std::move(action)));
    }
    virtual void forEachPassed(typename TByValue<TAction>::Passed action) = 0;
#endif

private:
    friend class TArray<T>;
    TBag() = default;
    TBag(const TBag&) = default;
    TBag& operator=(const TBag&) = default;
};

// Elements live by value in one block from the C runtime heap and move bitwise when it is resized,
// which suits TString and pointers. Calls between the operations go through the virtual table, so
// a subclass that overrides capacity, setCapacity, addArray, indexOf, removeAt or clear changes the
// operations built on them. The block and its size are `data` and `slots` (the number of element
// slots; `capacity()` is the virtual operation).
template <typename T>
class TArray : public TBag<T> {
public:
    TArray() = default;
    // A copy holds copies of the elements in a block of exactly their number.
    TArray(const TArray& other) : TBag<T>() { TArray::addAll(other); }
    TArray(TArray&& other) noexcept : TBag<T>() { takeStorage(other); }
    ~TArray() {
        destroyDownTo(0);
        heapFree(data);
    }
    ORVANE_DESTRUCTOR_SLOT(TArray)

    TArray& operator=(const TArray& other) {
        if (this != &other) {
            this->clear(false);
            addAll(other);
        }
        return *this;
    }
    // How the library fills an array of the host: the elements go through this array's own clear,
    // its block is freed, and it takes the source's storage, leaving the source empty.
    TArray& operator=(TArray&& other) noexcept {
        if (this != &other) {
            this->clear(false);
            heapFree(data);
            data = nullptr;
            slots = 0;
            takeStorage(other);
        }
        checkInvariants();
        return *this;
    }

    // Destroys the elements from n on, then resizes the block to exactly n slots.
    void setCapacity(uint32_t n) override {
        destroyDownTo(n);
        resize(n);
        checkInvariants();
    }
    uint32_t capacity() const override { return slots; }
    void clear(bool releaseStorage) override {
        destroyDownTo(0);
        if (releaseStorage) {
            setCapacity(0);
        }
        checkInvariants();
    }

    // Grows to capacity() + max(slots / 2, 10) when full. When the storage cannot grow (reported),
    // nothing is added and the result is count, which is no valid index.
    uint32_t add(const T& element) override {
        if (count == slots) {
            if (holds(&element)) {
                T copy(element);  // growing may move the block under the element
                return TArray::add(copy);
            }
            uint32_t grown = slots / 2 > 10 ? slots / 2 : 10;
            if (!growTo(uint64_t{capacity()} + grown) || count == slots) {
                return count;
            }
        }
        new (data + count) T(element);
        ++count;
        checkInvariants();
        return count - 1;
    }

    // Grows to exactly count + n slots when needed. The elements may lie in this array's own block.
    // When the storage cannot grow (reported), nothing is added and the result is count.
    uint32_t addArray(const T* elements, uint32_t n) override {
        uint32_t first = count;
        uint64_t needed = uint64_t{count} + n;
        if (needed > slots) {
            ptrdiff_t offset = holds(elements) ? elements - data : -1;
            if (!growTo(needed) || needed > slots) {
                return count;
            }
            if (offset >= 0) {
                elements = data + offset;
            }
        }
        for (uint32_t i = 0; i < n; ++i) {
            new (data + count) T(elements[i]);
            ++count;
        }
        checkInvariants();
        return first;
    }

    uint32_t addAll(const TBag<T>& other) override {
        const TArray& source = static_cast<const TArray&>(other);
        if (source.count == 0) {
            return count;
        }
        return this->addArray(source.data, source.count);
    }

    uint32_t indexOf(const T& element) const override {
        uint32_t i = 0;
        while (i < count && !(data[i] == element)) {
            ++i;
        }
        return i;
    }
    bool contains(const T& element) const override { return this->indexOf(element) != count; }

    void removeAt(uint32_t index, bool shrink) override {
        assert(index < count);
        TArray::swap(index, count - 1);
        --count;
        data[count].~T();
        if (shrink) {
            shrinkIfSparse();
        }
        checkInvariants();
    }

#if ORVANE_NATURAL_SHAPE
    void removeAll(T element, bool shrink) override {
        removeEqual(element, shrink);
    }
    void forEach(typename TBag<T>::TAction action) override {
        forEachElement(action);
    }
#else
    void removeAllPassed(typename TByValue<T>::Passed element, bool shrink) override {
        typename TByValue<T>::Received received = TByValue<T>::receive(element);
        removeEqual(received, shrink);
    }
    void forEachPassed(typename TByValue<typename TBag<T>::TAction>::Passed action) override {
        auto received = TByValue<typename TBag<T>::TAction>::receive(action);
        forEachElement(received);
    }
#endif

    void swap(uint32_t i, uint32_t j) override {
        assert(i < count && j < count);
        T held(std::move(data[i]));
        data[i] = std::move(data[j]);
        data[j] = std::move(held);
    }

    T* getData() const {
        return data;
    }

protected:
    using TAbstractBag::count;

    T* data = nullptr;
    uint32_t slots = 0;

private:
    // The invariants, asserted in debug builds after every change: the elements in use fit the
    // block, and there is a block exactly when there are slots.
    void checkInvariants() const {
        assert(count <= slots);
        assert((data == nullptr) == (slots == 0));
    }

    // Every removal shrinks when the array has become sparse, whatever `shrink` says.
    void removeEqual(const T& element, bool shrink) {
        uint32_t i = 0;
        while (i < count) {
            if (data[i] == element) {
                this->removeAt(i, true);
            } else {
                ++i;
            }
        }
        if (shrink) {
            shrinkIfSparse();
        }
    }

    // An empty action throws std::bad_function_call at the first element.
    template <typename Action>
    void forEachElement(const Action& action) {
        for (uint32_t i = 0; i < count; ++i) {
            action(data[i]);
        }
    }

    void destroyDownTo(uint32_t n) {
        while (count > n) {
            data[--count].~T();
        }
    }

    // The old block and slot count stay when the heap cannot resize it.
    void resize(uint32_t n) {
        uint64_t oldBytes = uint64_t{slots} * sizeof(T);
        uint64_t newBytes = uint64_t{n} * sizeof(T);
        if (newBytes == oldBytes) {
            return;
        }
        if (newBytes == 0) {
            heapFree(data);
            data = nullptr;
            slots = 0;
            return;
        }
        void* block = nullptr;
        if (heapSizeFits(newBytes)) {
            size_t size = static_cast<size_t>(newBytes);
            block = oldBytes == 0 ? heapTryAllocate(size) : heapTryReallocate(data, size);
        }
        if (block == nullptr) {
            reportArrayStorageFailure(newBytes);
            return;
        }
        data = static_cast<T*>(block);
        slots = n;
    }

    // setCapacity(n) through the virtual table; false (reported) when n exceeds a 32-bit count.
    bool growTo(uint64_t n) {
        if (n > UINT32_MAX) {
            reportArrayStorageFailure(n * sizeof(T));
            return false;
        }
        this->setCapacity(static_cast<uint32_t>(n));
        return true;
    }

    void shrinkIfSparse() {
        uint32_t c = slots;
        if (c > 15 && count < c / 2) {
            uint32_t current = this->capacity();
            this->setCapacity(c / 3 > current ? 0 : current - c / 3);
        }
    }

    bool holds(const T* element) const {
        uintptr_t address = reinterpret_cast<uintptr_t>(element);
        uintptr_t start = reinterpret_cast<uintptr_t>(data);
        return data != nullptr && address >= start && address - start < slots * sizeof(T);
    }

    void takeStorage(TArray& other) noexcept {
        count = other.count;
        data = other.data;
        slots = other.slots;
        other.count = 0;
        other.data = nullptr;
        other.slots = 0;
    }
};

// Owns the objects its elements point to: its destruction deletes every non-null element, last to
// first, through the object's virtual destructor. Nothing else deletes: clear, removeAt, removeAll
// and setCapacity hand the dropped objects to the caller. Moved, never copied (a copy would delete
// every object twice).
template <typename P>
class TPointerArray;

template <typename T>
class TPointerArray<T*> : public TArray<T*> {
public:
    TPointerArray() = default;
    TPointerArray(const TPointerArray&) = delete;
    TPointerArray& operator=(const TPointerArray&) = delete;
    TPointerArray(TPointerArray&& other) noexcept = default;
    // The objects this array owned so far are deleted first.
    TPointerArray& operator=(TPointerArray&& other) noexcept {
        if (this != &other) {
            deleteObjects();
            TArray<T*>::operator=(std::move(other));
        }
        return *this;
    }
    ~TPointerArray() {
        deleteObjects();
        this->clear(true);
    }
    ORVANE_DESTRUCTOR_SLOT(TPointerArray)

private:
    // Through std::default_delete, which reaches slot 0 of an interface whose destructor it is
    // (BinaryShape.h).
    void deleteObjects() {
        for (uint32_t i = this->count; i-- > 0;) {
            std::default_delete<T>()(this->data[i]);
        }
    }
};

template <typename T>
const T& elementOf(const TAbstractBag& bag, uint32_t index) {
    const TArray<T>& array = static_cast<const TArray<T>&>(bag);
    assert(index < array.getCount());
    return array.getData()[index];
}

}  // namespace OrvaneLib

ORVANE_DEFAULT_DELETE(OrvaneLib::TAbstractBag)
