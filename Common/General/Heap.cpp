#include "Common/General/Heap.h"

#ifdef _WIN32
#include "win32/Win32Api.h"
#endif

#include <cstring>

namespace OrvaneLib {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of prefix when text begins with it, compared without regard to ASCII case; else 0.
size_t prefixLength(const char* text, const char* prefix) {
    size_t n = 0;
    for (; prefix[n] != '\0'; ++n) {
        if (lowerAscii(text[n]) != lowerAscii(prefix[n])) {
            return 0;
        }
    }
    return n;
}

bool sameNoCase(const char* a, const char* b) {
    return prefixLength(a, b) == strlen(b) && a[strlen(b)] == '\0';
}

// This library's own run time: its malloc is the one the linker binds (and tests may wrap).
constexpr THeap kOwnHeap = {malloc, realloc, free};

#ifdef _WIN32

#ifdef _UCRT
constexpr TRuntimeLibrary kOwnRuntime = TRuntimeLibrary::ucrt;
#else
constexpr TRuntimeLibrary kOwnRuntime = TRuntimeLibrary::msvcrt;
#endif

struct THostRuntime {
    TRuntimeLibrary runtime = TRuntimeLibrary::none;
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
        TRuntimeLibrary runtime = runtimeLibraryOf(dll);
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
    if (host.runtime == TRuntimeLibrary::none) {
        host = {TRuntimeLibrary::ucrt, "ucrtbase.dll"};
    }
    return host.runtime == kOwnRuntime ? kOwnHeap : heapOf(host.dll);
}

#else

THeap findSharedHeap() {
    return kOwnHeap;
}

#endif

}  // namespace

TRuntimeLibrary runtimeLibraryOf(const char* dll) {
    if (sameNoCase(dll, "ucrtbase.dll") || sameNoCase(dll, "ucrtbased.dll") ||
        prefixLength(dll, "api-ms-win-crt-heap-") > 0) {
        return TRuntimeLibrary::ucrt;
    }
    if (sameNoCase(dll, "msvcrt.dll")) {
        return TRuntimeLibrary::msvcrt;
    }
    size_t start = prefixLength(dll, "msvcr");
    if (start == 0) {
        return TRuntimeLibrary::none;
    }
    const char* rest = dll + start;
    const char* digits = rest;
    while (*rest >= '0' && *rest <= '9') {
        ++rest;
    }
    if (rest == digits) {
        return TRuntimeLibrary::none;
    }
    if (lowerAscii(*rest) == 'd') {
        ++rest;
    }
    return sameNoCase(rest, ".dll") ? TRuntimeLibrary::msvcrNN : TRuntimeLibrary::none;
}

const THeap& sharedHeap() {
    static const THeap heap = findSharedHeap();
    return heap;
}

}  // namespace OrvaneLib
