#include "pal/src/KernelFault.h"

#include <dlfcn.h>
#include <link.h>

namespace {

// The executable as the dynamic linker knows it: its handle, and its link map, which tells its own
// symbols from those of the shared libraries it loaded.
struct TExecutable {
    void* handle = nullptr;
    link_map* map = nullptr;
};

const TExecutable& executable() {
    static const TExecutable program = [] {
        TExecutable found;
        found.handle = dlopen(nullptr, RTLD_LAZY);
        if (found.handle != nullptr && dlinfo(found.handle, RTLD_DI_LINKMAP, &found.map) != 0) {
            found.map = nullptr;
        }
        return found;
    }();
    return program;
}

// A name whose pointer value fits in 16 bits is an export ordinal, not text.
bool isOrdinal(LPCSTR procName) {
    return (reinterpret_cast<uintptr_t>(procName) >> 16) == 0;
}

bool definedByExecutable(void* symbol) {
    Dl_info info{};
    link_map* owner = nullptr;
    return dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) != 0 &&
           owner != nullptr && owner == executable().map;
}

}  // namespace

HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
    if (palFailsWithLastError("GetModuleHandleW")) {
        return nullptr;
    }
    if (moduleName != nullptr || executable().map == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(executable().handle);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    if (palFailsWithLastError("GetProcAddress")) {
        return nullptr;
    }
    const TExecutable& program = executable();
    if (program.map == nullptr || (module != nullptr && module != program.handle)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // dlsym searches the libraries after the executable, so a hit must be checked for its owner.
    void* symbol = isOrdinal(procName) ? nullptr : dlsym(program.handle, procName);
    if (symbol == nullptr || !definedByExecutable(symbol)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}
