// Whether a test program runs under Wine. Wine's registry and system texts differ from Windows in
// a few points; the suites keep pinning Windows' behaviour (which the PAL follows) and leave out
// only those checks under Wine.
#pragma once

#include "platform/Win32Api.h"

namespace OrvaneTest {

inline bool runningUnderWine() {
#ifdef _WIN32
    // Wine's ntdll exports wine_get_version; Windows' does not.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace OrvaneTest
