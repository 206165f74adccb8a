// std::function arguments across the library boundary, in the form of Microsoft's std::function
// (its C++ library's layout, unchanged since Visual Studio 2015), so that a host built with
// Microsoft's compiler passes its own std::function and a host built with g++ passes the same
// form.
#pragma once

#include "Common/General/BinaryShape.h"

#if !ORVANE_NATURAL_SHAPE

#include <cstdint>
#include <functional>
#include <utility>

namespace OrvaneLib {

// The implementation object of Microsoft's std::function: the callable behind a virtual table of
// six operations in this order. The arguments of call are passed by address.
template <typename R, typename... Args>
class TFunctionTarget {
public:
    // Copies itself to `where` (a std::function's own storage) or to the heap; returns the copy.
    virtual TFunctionTarget* copyTo(void* where) const = 0;
    // Moves itself to `where`; null when it lives on the heap (the pointer is taken instead).
    virtual TFunctionTarget* moveTo(void* where) = 0;
    virtual R call(Args&&... args) = 0;
    // The callable's std::type_info; not asked for across the boundary.
    virtual const void* targetType() const = 0;
    // Destroys the callable; frees the object when it lives on the heap.
    virtual void destroy(bool deallocate) = 0;
    virtual const void* target() const = 0;

protected:
    TFunctionTarget() = default;
    ~TFunctionTarget() = default;
    TFunctionTarget(const TFunctionTarget&) = default;
    TFunctionTarget& operator=(const TFunctionTarget&) = delete;
};

template <typename Signature>
class TFunctionImage;

// The bytes of a std::function: storage for a small callable, whose last word points at the
// implementation object (into the storage itself, or to the heap), null when empty. 40 bytes on
// x86, 64 on x64.
template <typename R, typename... Args>
class TFunctionImage<R(Args...)> {
public:
    using TTarget = TFunctionTarget<R, Args...>;
    static constexpr int kWords = 6 + 16 / sizeof(void*);

    TTarget* getTarget() const { return static_cast<TTarget*>(words[kWords - 1]); }
    void setTarget(TTarget* target) { words[kWords - 1] = target; }

private:
    void* words[kWords] = {};
};

// A g++ std::function as the target of an image; it always lives on the heap.
template <typename R, typename... Args>
class THeldFunction final : public TFunctionTarget<R, Args...> {
public:
    explicit THeldFunction(std::function<R(Args...)> function) : function(std::move(function)) {}

    TFunctionTarget<R, Args...>* copyTo(void*) const override { return new THeldFunction(*this); }
    TFunctionTarget<R, Args...>* moveTo(void*) override { return nullptr; }
    R call(Args&&... args) override { return function(std::forward<Args>(args)...); }
    const void* targetType() const override { return nullptr; }
    void destroy(bool) override { delete this; }
    const void* target() const override { return &function; }

private:
    std::function<R(Args...)> function;
};

// The callee's hold on an image that it was passed: it calls the callable and destroys it when
// it goes, that is before the callee returns. `passed` is the argument itself, whose address
// tells whether the callable lives inside it.
template <typename R, typename... Args>
class TReceivedFunction {
public:
    explicit TReceivedFunction(const TFunctionImage<R(Args...)>& passed)
        : target(passed.getTarget()), inside(isInside(target, &passed)) {}
    TReceivedFunction(const TReceivedFunction&) = delete;
    TReceivedFunction& operator=(const TReceivedFunction&) = delete;
    ~TReceivedFunction() {
        if (target != nullptr) {
            target->destroy(!inside);
        }
    }

    explicit operator bool() const { return target != nullptr; }
    // An empty callable throws std::bad_function_call, as std::function does.
    R operator()(Args... args) const {
        if (target == nullptr) {
            throw std::bad_function_call();
        }
        return target->call(std::forward<Args>(args)...);
    }
    // A std::function that calls this one; valid while this object lives. Empty when this is.
    std::function<R(Args...)> callable() const {
        if (target == nullptr) {
            return {};
        }
        return [this](Args... args) { return (*this)(std::forward<Args>(args)...); };
    }

private:
    // Compared as numbers behind a barrier: a compiler may assume that nothing the caller stored
    // can point into a by-value parameter, which the caller built in place.
    static bool isInside(const void* target, const void* image) {
        uintptr_t start = reinterpret_cast<uintptr_t>(image);
        asm("" : "+r"(start));
        return reinterpret_cast<uintptr_t>(target) == start;
    }

    TFunctionTarget<R, Args...>* target;
    bool inside;
};

template <typename R, typename... Args>
struct TByValue<std::function<R(Args...)>> {
    using Passed = TFunctionImage<R(Args...)>;
    using Received = TReceivedFunction<R, Args...>;

    static Passed pass(std::function<R(Args...)> function) {
        Passed image;
        if (function) {
            image.setTarget(new THeldFunction<R, Args...>(std::move(function)));
        }
        return image;
    }
    static Received receive(const Passed& passed) { return Received(passed); }
};

}  // namespace OrvaneLib

#endif
