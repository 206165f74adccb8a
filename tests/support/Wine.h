// Where a test program runs under Wine. Wine's registry and system texts differ from Windows in a
// few points, and its Shell cannot delete files: the suites keep pinning Windows' behaviour (which
// the PAL follows) and leave out only those checks under Wine.
#pragma once

#include "win32/Win32Api.h"

#include <memory>

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

constexpr const char* kStubShellReason =
    "the system's IFileOperation is a stub (E_NOTIMPL): the Shell deletes nothing here";

// Wine's IFileOperation is a stub whose methods answer E_NOTIMPL, so that every deletion through
// the Shell fails. The PAL's never is.
inline bool fileOperationIsStub() {
#ifdef _WIN32
    const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IFileOperation* created = nullptr;
    CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation,
                     reinterpret_cast<void**>(&created));
    const auto release = [](IUnknown* object) { object->Release(); };
    std::unique_ptr<IFileOperation, decltype(release)> operation(created, release);
    const bool stub = operation && operation->SetOperationFlags(FOF_NO_UI) == E_NOTIMPL;
    operation.reset();
    if (SUCCEEDED(initialized)) {
        CoUninitialize();
    }
    return stub;
#else
    return false;
#endif
}

}  // namespace OrvaneTest
