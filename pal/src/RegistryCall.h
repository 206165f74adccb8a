// Inside the PAL: what every registry function of advapi32 does before and around its work. The
// exported functions are thin wrappers: `registryCall` gives the function's fault point, then its
// internal function checks the arguments and the handle and works in one transaction of the hive.
// As on Windows, the registry functions return their code and leave the last error alone.
#pragma once

#include "pal/inc/WinRegistry.h"
#include "pal/src/Faults.h"
#include "pal/src/FunctionRef.h"
#include "pal/src/Hive.h"
#include "pal/src/KeyHandles.h"
#include "pal/src/KeyName.h"
#include "pal/src/KeyStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace OrvaneLib::Pal {

template <class Work>
LSTATUS registryCall(const char* function, Work work) {
    LONG status;
    return palFault(function, status) ? status : work();
}

inline THandleTable& handles() {
    return THandleTable::instance();
}
inline THive& hive() {
    return THive::instance();
}

// Finds the handle and checks that it has the rights `needed`.
LONG useHandle(HKEY key, REGSAM needed, TKeyHandle& handle);

// Finds the handle of `key` and splits `subKey` below it into key names.
LONG usePath(HKEY key, LPCWSTR subKey, TKeyHandle& parent, TKeyPath& names);

// Runs `work` in a transaction unless the handle's key has been deleted.
LONG onKey(const TKeyHandle& handle, bool write, TFunctionRef<LONG(TKeyStore&)> work);
// Reads from the image of the hive when this process holds one of its state, else as onKey.
LONG readKey(const TKeyHandle& handle, TFunctionRef<LONG(const THiveImage&)> fromImage,
             TFunctionRef<LONG(TKeyStore&)> fromStore);

// Copies the text and its terminator; the caller checked that both fit.
void copyText(const std::u16string& text, LPWSTR buffer);
void setFileTime(int64_t time, PFILETIME out);
void setIf(LPDWORD out, DWORD value);

// Too long to have been stored: no value of that name exists.
inline bool storableValueName(std::u16string_view name) {
    return name.size() <= maxValueNameLength;
}

}  // namespace OrvaneLib::Pal
