// Inside the PAL: reference counting for the COM objects it hands out, and an owning pointer.
#pragma once

#include "pal/inc/WinShell.h"
#include "pal/src/Faults.h"

#include <atomic>
#include <optional>
#include <utility>

namespace OrvaneLib::Pal {

// The result a test made the named function or method fail with on this call, if any.
inline std::optional<HRESULT> injectedFault(const char* function) {
    LONG result = 0;
    return palFault(function, result) ? std::optional<HRESULT>(result) : std::nullopt;
}

// QISearch without its fault point, for the PAL's own objects.
HRESULT searchInterfaceTable(void* that, const QITAB* table, REFIID riid, void** result);

// One COM interface with an atomic reference count that starts at 1 for the creator.
template <typename Interface>
class TComObject : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    TComObject() = default;
    virtual ~TComObject() = default;
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;

private:
    std::atomic<ULONG> references_{1};
};

// Holds one reference to a COM object.
template <typename Interface>
class TComPtr {
public:
    TComPtr() = default;
    // Takes over a reference the caller already holds.
    static TComPtr adopt(Interface* object) {
        TComPtr pointer;
        pointer.object_ = object;
        return pointer;
    }
    // Adds a reference of its own.
    static TComPtr share(Interface* object) {
        if (object != nullptr) {
            object->AddRef();
        }
        return adopt(object);
    }
    TComPtr(const TComPtr& other) : object_(other.object_) {
        if (object_ != nullptr) {
            object_->AddRef();
        }
    }
    TComPtr(TComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    TComPtr& operator=(TComPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~TComPtr() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to the caller.
    Interface* detach() { return std::exchange(object_, nullptr); }
    // For out-parameters: releases what is held and gives the slot to fill.
    Interface** put() {
        *this = TComPtr();
        return &object_;
    }

private:
    Interface* object_ = nullptr;
};

}  // namespace OrvaneLib::Pal
