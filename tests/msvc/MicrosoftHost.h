// What a host built with Microsoft's compiler declares to use Orvane.dll, written from the
// interfaces' slot tables and layouts alone: no C++ library and no Windows headers, so that clang
// in Microsoft mode (--target=*-pc-windows-msvc) lays everything out as Microsoft's compiler does.
// The C run time (malloc, free, _get_heap_handle) is the one the host program imports.
#pragma once

typedef unsigned int uint32_t;
typedef int int32_t;
typedef unsigned long long uint64_t;
typedef decltype(sizeof(0)) size_t;
typedef __UINTPTR_TYPE__ uintptr_t;

#define WINAPI __stdcall
#define IMPORT extern "C" __declspec(dllimport)

IMPORT void* __cdecl malloc(size_t size);
IMPORT void __cdecl free(void* block);
IMPORT void* __cdecl _get_heap_handle();

IMPORT void* WINAPI GetStdHandle(uint32_t which);
IMPORT int WINAPI WriteFile(void* file, const void* data, uint32_t size, uint32_t* written,
                            void* overlapped);
IMPORT void WINAPI ExitProcess(uint32_t code);
IMPORT int WINAPI HeapValidate(void* heap, uint32_t flags, const void* block);

struct EXCEPTION_RECORD {
    uint32_t ExceptionCode;
    uint32_t ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    void* ExceptionAddress;
    uint32_t NumberParameters;
    uintptr_t ExceptionInformation[15];
};
struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    void* ContextRecord;
};
typedef long(WINAPI* VECTORED_HANDLER)(EXCEPTION_POINTERS* pointers);
IMPORT void* WINAPI AddVectoredExceptionHandler(uint32_t first, VECTORED_HANDLER handler);
IMPORT uint32_t WINAPI RemoveVectoredExceptionHandler(void* handle);

typedef void* HKEY;
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
IMPORT long WINAPI RegSetKeyValueW(HKEY key, const wchar_t* subKey, const wchar_t* valueName,
                                   uint32_t type, const void* data, uint32_t size);
IMPORT long WINAPI RegDeleteTreeW(HKEY key, const wchar_t* subKey);
IMPORT long WINAPI RegCreateKeyExW(HKEY key, const wchar_t* subKey, uint32_t reserved,
                                   wchar_t* keyClass, uint32_t options, uint32_t desired,
                                   void* security, HKEY* result, uint32_t* disposition);
IMPORT long WINAPI RegOverridePredefKey(HKEY key, HKEY newKey);
IMPORT long WINAPI RegCloseKey(HKEY key);

inline void* operator new(size_t, void* where) noexcept {
    return where;
}
// The host's own objects, and what the compiler's copies need, from the host's run time.
void* operator new(size_t size);
void operator delete(void* block) noexcept;
void operator delete(void* block, size_t) noexcept;
extern "C" void* memcpy(void* to, const void* from, size_t size);
extern "C" void* memset(void* to, int byte, size_t size);

namespace Host {

inline size_t textLength(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}

inline bool sameText(const char* a, const char* b) {
    size_t i = 0;
    for (; a[i] != '\0' && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

// Microsoft's std::function<R(Args...)>: storage for a small callable whose last word points at
// the implementation object (inside the storage, or on the heap), null when empty.
template <typename R, typename... Args>
struct FunctionBase {
    virtual FunctionBase* _Copy(void* where) const = 0;
    virtual FunctionBase* _Move(void* where) = 0;
    virtual R _Do_call(Args&&... args) = 0;
    virtual const void* _Target_type() const = 0;
    virtual void _Delete_this(bool deallocate) = 0;
    virtual const void* _Get() const = 0;
};

template <typename Signature>
class Function;

template <typename R, typename... Args>
class Function<R(Args...)> {
public:
    static constexpr int kWords = 6 + 16 / sizeof(void*);
    using Base = FunctionBase<R, Args...>;

    Function() { words[kWords - 1] = nullptr; }
    // make(storage) builds the implementation on the heap or in the storage it is given.
    template <typename Maker>
    explicit Function(Maker make) {
        words[kWords - 1] = make(static_cast<void*>(words));
    }
    Function(const Function& other) {
        Base* impl = other.impl();
        words[kWords - 1] = impl != nullptr ? impl->_Copy(words) : nullptr;
    }
    Function& operator=(const Function&) = delete;
    ~Function() {
        if (impl() != nullptr) {
            impl()->_Delete_this(impl() != static_cast<const void*>(words));
        }
    }

private:
    Base* impl() const { return static_cast<Base*>(words[kWords - 1]); }
    void* words[kWords];
};

}  // namespace Host

namespace OrvaneLib {

// The host's own string: its blocks come from and go back to the host's run time.
class TString {
public:
    TString() : data(nullptr), capacity(0), length(0) {}
    explicit TString(const char* text) {
        length = static_cast<uint32_t>(Host::textLength(text));
        capacity = length + 1;
        data = static_cast<char*>(malloc(capacity));
        for (uint32_t i = 0; i <= length; ++i) {
            data[i] = text[i];
        }
    }
    TString(const TString&) = delete;
    TString& operator=(const TString&) = delete;
    virtual ~TString() { free(data); }

    const char* c_str() const { return data != nullptr ? data : ""; }

    char* data;
    uint32_t capacity;
    uint32_t length;
};

class TException {
public:
    virtual ~TException();
    char* file;
    char* categoryName;
    char* detail;
    char* message;
    int32_t category;
    int32_t line;
    int32_t severity;
    uint32_t systemError;
};

class TAbstractBag {
public:
    virtual ~TAbstractBag() {}
    virtual void setCapacity(uint32_t n) = 0;
    virtual uint32_t capacity() const = 0;
    virtual void clear(bool releaseStorage) = 0;
    uint32_t count = 0;
};

template <typename T>
class TBag : public TAbstractBag {
public:
    virtual T get(uint32_t index) const = 0;
    virtual uint32_t add(const T& element) = 0;
    virtual uint32_t addArray(const T* elements, uint32_t n) = 0;
    virtual uint32_t addAll(const TBag<T>& other) = 0;
    virtual uint32_t indexOf(const T& element) const = 0;
    virtual bool contains(const T& element) const = 0;
    virtual void removeAt(uint32_t index, bool shrink) = 0;
    virtual void removeAll(T element, bool shrink) = 0;
    virtual void swap(uint32_t i, uint32_t j) = 0;
    virtual void forEach(Host::Function<void(T&)> action) = 0;
};

// The host's own arrays do only what the library asks of them: it empties an array that it
// fills (clear). Any other operation of the host's table is a fault.
void unexpectedHostSlot(const char* slot);

template <typename T>
class TArray : public TBag<T> {
public:
    ~TArray() override {
        destroyElements();
        free(data);
    }
    void setCapacity(uint32_t) override { unexpectedHostSlot("setCapacity"); }
    uint32_t capacity() const override { return slots; }
    void clear(bool releaseStorage) override {
        ++clears;
        destroyElements();
        if (releaseStorage) {
            free(data);
            data = nullptr;
            slots = 0;
        }
    }
    T get(uint32_t) const override {
        unexpectedHostSlot("get");
        return T();
    }
    uint32_t add(const T&) override { return unexpected("add"); }
    uint32_t addArray(const T*, uint32_t) override { return unexpected("addArray"); }
    uint32_t addAll(const TBag<T>&) override { return unexpected("addAll"); }
    uint32_t indexOf(const T&) const override { return unexpected("indexOf"); }
    bool contains(const T&) const override { return unexpected("contains") != 0; }
    void removeAt(uint32_t, bool) override { unexpectedHostSlot("removeAt"); }
    void removeAll(T, bool) override { unexpectedHostSlot("removeAll"); }
    void swap(uint32_t, uint32_t) override { unexpectedHostSlot("swap"); }
    void forEach(Host::Function<void(T&)>) override { unexpectedHostSlot("forEach"); }

    // Elements are destroyed through their own table, which for elements that the library made
    // is the library's.
    void destroyElements() {
        while (this->count > 0) {
            data[--this->count].~T();
        }
    }

    T* data = nullptr;
    uint32_t slots = 0;
    int clears = 0;

private:
    uint32_t unexpected(const char* slot) const {
        unexpectedHostSlot(slot);
        return 0;
    }
};

class ulIPackage {
public:
    virtual ~ulIPackage();
    virtual bool registerPackage(const TString& path, const TString& version) = 0;
    virtual bool isInstalled() const = 0;
    virtual const TString& getName() const = 0;
    virtual TString getPath() const = 0;
    virtual TString getVersion() const = 0;
    virtual bool unregisterPackage() = 0;
};

// The array that getPackages builds in the host's storage; the host's destruction of it deletes
// the packages through their slot 0.
template <typename T>
class TPointerArray;
template <typename T>
class TPointerArray<T*> : public TArray<T*> {
public:
    ~TPointerArray() override {
        for (uint32_t i = this->count; i-- > 0;) {
            delete this->data[i];
        }
        this->count = 0;
    }
};

using ProgressCallback = Host::Function<void(uint32_t, uint32_t)>;

class ulIApplication {
public:
    virtual ~ulIApplication();
    virtual bool registerApplication(const TString& path, const TString& installPath,
                                     const TString& displayName, const TString& version,
                                     const TString& displayIcon) = 0;
    virtual bool isInstalled() const = 0;
    virtual bool uninstall(ProgressCallback progress) = 0;
    virtual TString getPath() const = 0;
    virtual TString getInstallPath() const = 0;
    virtual TString getVersion() const = 0;
    virtual TString getDisplayName() const = 0;
    virtual void setTotalSize(uint64_t size) = 0;
    virtual uint64_t getTotalSize() const = 0;
    virtual void setInstallSize(uint64_t size) = 0;
    virtual uint64_t getInstallSize() const = 0;
    virtual void setCompatibilityFlags(const TString& flags) = 0;
    virtual TString getCompatibilityFlags() const = 0;
    virtual ulIPackage* createPackage(const TString& packageId) const = 0;
    virtual TPointerArray<ulIPackage*> getPackages() const = 0;
    virtual int32_t getVFSVersion() const = 0;
    virtual void setVFSVersion(int32_t version) = 0;
    virtual void setUPID(int32_t upid) = 0;
    virtual int32_t getUPID() const = 0;
};

class ulIClient {
public:
    virtual void setCurrentBandwidth(uint64_t bandwidth) = 0;
    virtual uint64_t getCurrentBandwidth() const = 0;
    virtual void setMaxMeasuredBandwidth(uint64_t bandwidth) = 0;
    virtual uint64_t getMaxMeasuredBandwidth() const = 0;
    virtual void setThirdPartyFlag(uint32_t id, bool flag) = 0;
    virtual bool getThirdPartyFlag(uint32_t id) const = 0;

protected:
    ~ulIClient() = default;
};

}  // namespace OrvaneLib

IMPORT OrvaneLib::ulIApplication* createApplication(const OrvaneLib::TString& applicationId);
IMPORT OrvaneLib::ulIClient* createClient();
IMPORT void getInstalledGames(OrvaneLib::TArray<OrvaneLib::TString>& games);
