#include "Common/General/Heap.h"

#ifdef _WIN32
#include "win32/Win32Api.h"

#include <cstring>
#endif

namespace OrvaneLib {

namespace {

// This library's own run time: its malloc is the one the linker binds (and tests may wrap).
constexpr THeap kOwnHeap = {malloc, realloc, free};

#ifdef _WIN32

// Run-time libraries by preference: a host that imports the UCRT allocates from it, whatever
// older run time a library of its own still imports.
enum TRuntime { kNoRuntime, kMsvcrt, kMsvcrNN, kUcrt };

#ifdef _UCRT
constexpr TRuntime kOwnRuntime = kUcrt;
#else
constexpr TRuntime kOwnRuntime = kMsvcrt;
#endif

bool startsWithNoCase(const char* text, const char* prefix) {
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

TRuntime runtimeOf(const char* dll) {
    if (_stricmp(dll, "ucrtbase.dll") == 0 || _stricmp(dll, "ucrtbased.dll") == 0 ||
        startsWithNoCase(dll, "api-ms-win-crt-heap-")) {
        return kUcrt;
    }
    if (_stricmp(dll, "msvcrt.dll") == 0) {
        return kMsvcrt;
    }
    // msvcr71.dll to msvcr120.dll, and their debug forms (msvcr120d.dll)
    if (!startsWithNoCase(dll, "msvcr")) {
        return kNoRuntime;
    }
    const char* rest = dll + 5;
    if (*rest < '0' || *rest > '9') {
        return kNoRuntime;
    }
    while (*rest >= '0' && *rest <= '9') {
        ++rest;
    }
    if (*rest == 'd' || *rest == 'D') {
        ++rest;
    }
    return _stricmp(rest, ".dll") == 0 ? kMsvcrNN : kNoRuntime;
}

struct THostRuntime {
    TRuntime runtime = kNoRuntime;
    const char* dll = nullptr;
};

// The preferred run time among the executable's imports.
THostRuntime hostRuntime() {
    auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    THostRuntime best;
    if (imports.VirtualAddress == 0) {
        return best;
    }
    auto* descriptor =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        const char* dll = reinterpret_cast<const char*>(image + descriptor->Name);
        TRuntime runtime = runtimeOf(dll);
        if (runtime > best.runtime) {
            best = {runtime, dll};
        }
    }
    return best;
}

// Through void (*)(), the generic function pointer type, as GetProcAddress knows no signatures.
template <typename TFunction>
TFunction procedure(HMODULE module, const char* name) {
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

THeap heapOf(const char* dll) {
    HMODULE module = GetModuleHandleA(dll);
    if (module == nullptr) {
        module = LoadLibraryA(dll);
    }
    if (module == nullptr) {
        return kOwnHeap;
    }
    THeap heap = {
        procedure<void* (*)(size_t)>(module, "malloc"),
        procedure<void* (*)(void*, size_t)>(module, "realloc"),
        procedure<void (*)(void*)>(module, "free"),
    };
    if (heap.allocate == nullptr || heap.reallocate == nullptr || heap.release == nullptr) {
        return kOwnHeap;
    }
    return heap;
}

THeap findSharedHeap() {
    THostRuntime host = hostRuntime();
    if (host.runtime == kNoRuntime) {
        host = {kUcrt, "ucrtbase.dll"};
    }
    return host.runtime == kOwnRuntime ? kOwnHeap : heapOf(host.dll);
}

#else

THeap findSharedHeap() {
    return kOwnHeap;
}

#endif

}  // namespace

const THeap& sharedHeap() {
    static const THeap heap = findSharedHeap();
    return heap;
}

}  // namespace OrvaneLib
