// The binary shape of the objects that cross the library boundary: the shape that Microsoft's C++
// compiler gives their declarations, for the client that loads Orvane.dll is built with it.
//
// Under Microsoft's compiler the classes are declared as they read: a virtual destructor, results
// and arguments of class type by value. Other compilers (g++ builds the library itself) lay those
// three out differently, so for them each such operation is declared in Microsoft's shape, and an
// inline operation of the natural name on top keeps the callers' code as it reads:
//   - Slot 0 is one "scalar deleting destructor", void* destroyShaped(unsigned flags): it destroys
//     the object, frees it when bit 0 of flags is set and returns the object's address (g++ would
//     give a virtual destructor two slots). Delete through an interface reaches it through a
//     destroying operator delete, and std::unique_ptr and std::default_delete reach it directly;
//     prefer those, as compilers question a plain delete of a class without a virtual destructor.
//   - An object result comes back through an address that the caller passes after `this`: the
//     operation builds the result there and returns the address ("...Into", g++ would pass the
//     address before `this`).
//   - An object argument is built by the caller and destroyed by the callee. It crosses as a
//     trivially copyable image of the object's bytes (TByValue<T>::Passed), which both compilers
//     pass alike: in the argument area on x86 (the callee pops it), as the address of a copy that
//     the caller made on x64 ("...Passed", g++ would pass a reference and destroy the object in
//     the caller).
// On x86 every member function is __thiscall under both compilers, so the other slots need
// nothing. Classes with these shapes: TString and TException (slot 0), TAbstractBag, TBag, TArray
// and TPointerArray (Common/General/TArray.h), ulIApplication and ulIPackage (lib/OrvaneLib.h);
// std::function arguments cross as Microsoft's std::function (Common/General/FunctionImage.h).
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#if defined(_MSC_VER)
#define ORVANE_NATURAL_SHAPE 1
#else
#define ORVANE_NATURAL_SHAPE 0
#endif

#if ORVANE_NATURAL_SHAPE

#define ORVANE_INTERFACE_DESTRUCTOR(Class) virtual ~Class() = default;
#define ORVANE_DESTRUCTOR_SLOT(Class)
#define ORVANE_FINAL_DESTRUCTOR(Class) virtual ~Class();
#define ORVANE_DEFAULT_DELETE(Class)

#else

// The root of the classes whose objects are deleted through it. Used in a public section.
#define ORVANE_INTERFACE_DESTRUCTOR(Class)                                   \
    virtual void* destroyShaped(unsigned flags) = 0;                         \
    void operator delete(Class* object, std::destroying_delete_t) noexcept { \
        object->destroyShaped(1);                                            \
    }                                                                        \
    ~Class() = default;

// Slot 0 of a class below such a root. Every class of the hierarchy that has a destructor of its
// own declares it, so that deletion through the root runs the whole destructor.
#define ORVANE_DESTRUCTOR_SLOT(Class)                                \
    void* destroyShaped(unsigned flags) override {                   \
        return ::OrvaneLib::destroyShapedObject<Class>(this, flags); \
    }

// The destructor of a final class that has no other virtual operation, declared in a public
// section; slot 0 is its scalar deleting destructor.
#define ORVANE_FINAL_DESTRUCTOR(Class)                               \
    ~Class();                                                        \
                                                                     \
private:                                                             \
    virtual void* destroyShaped(unsigned flags) {                    \
        return ::OrvaneLib::destroyShapedObject<Class>(this, flags); \
    }                                                                \
                                                                     \
public:

// std::unique_ptr<Class> and std::default_delete<Class> delete through slot 0 without a delete
// expression, which compilers question for a class without a virtual destructor. Used at global
// scope after the class.
#define ORVANE_DEFAULT_DELETE(Class)                    \
    template <>                                         \
    struct std::default_delete<Class> {                 \
        void operator()(Class* object) const noexcept { \
            if (object != nullptr) {                    \
                object->destroyShaped(1);               \
            }                                           \
        }                                               \
    };

#endif

namespace OrvaneLib {

// What a scalar deleting destructor does. Bit 1 of flags (an array deletion, which no host does
// with these objects) is not honoured.
template <typename T>
void* destroyShapedObject(T* object, unsigned flags) noexcept {
    object->T::~T();  // the class named, which is the object's own (each class declares its slot)
    if ((flags & 1) != 0) {
        ::operator delete(object);
    }
    return object;
}

// How an argument of type T crosses by value. Numbers and pointers cross as they are; TString
// and std::function specialise this (in TString.h and FunctionImage.h) with an image of the
// object that the caller hands over and the callee takes back.
template <typename T, typename = void>
struct TByValue {
    using Passed = T;
    using Received = T;
    static Passed pass(T value) { return value; }
    static Received receive(const Passed& passed) { return passed; }
};

// Whether a result of type T comes back through an address that the caller passes.
template <typename T>
constexpr bool kReturnedThroughAddress = !ORVANE_NATURAL_SHAPE && std::is_class_v<T>;

// The caller's side of an object result: `into` builds the result at the address it is given
// and returns that address.
template <typename T, typename Into>
T takeResult(Into&& into) {
    alignas(T) unsigned char storage[sizeof(T)];
    T* built = into(reinterpret_cast<T*>(storage));
    T result(std::move(*built));
    built->T::~T();
    return result;
}

// The callee's side: builds the result at the caller's address.
template <typename T>
T* placeResult(T* result, T&& value) {
    return new (result) T(std::move(value));
}

}  // namespace OrvaneLib

#if !ORVANE_NATURAL_SHAPE

// An operation `Type name() const` whose object result comes back through an address.
#define ORVANE_RESULT_OPERATION(Type, name)                                                        \
    Type name() const {                                                                            \
        return ::OrvaneLib::takeResult<Type>([this](Type* result) { return name##Into(result); }); \
    }                                                                                              \
    virtual Type* name##Into(Type* result) const = 0;

// An operation `Result name(Type parameter)` whose argument crosses by value.
#define ORVANE_BY_VALUE_OPERATION(Result, name, Type, parameter)                      \
    Result name(Type parameter) {                                                     \
        return name##Passed(::OrvaneLib::TByValue<Type>::pass(std::move(parameter))); \
    }                                                                                 \
    virtual Result name##Passed(typename ::OrvaneLib::TByValue<Type>::Passed parameter) = 0;

#else

#define ORVANE_RESULT_OPERATION(Type, name) virtual Type name() const = 0;
#define ORVANE_BY_VALUE_OPERATION(Result, name, Type, parameter) \
    virtual Result name(Type parameter) = 0;

#endif
