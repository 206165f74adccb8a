#include "pal/inc/WinShell.h"
#include "pal/src/ComObject.h"
#include "pal/src/FileOperation.h"

#include <cstdlib>

const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellItem = {
    0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
const IID IID_IShellItemArray = {
    0xB63EA76D, 0x1F85, 0x456F, {0xA1, 0x9C, 0x48, 0x15, 0x9E, 0xFA, 0x85, 0x8B}};
const IID IID_IFileOperation = {
    0x947AAB5F, 0x0A5C, 0x4C13, {0xB4, 0xD6, 0x4B, 0xF7, 0x83, 0x6F, 0xC9, 0xF8}};
const IID IID_IFileOperationProgressSink = {
    0x04B0F1A7, 0x9490, 0x44BC, {0x96, 0xE1, 0x42, 0x96, 0xA3, 0x12, 0x52, 0xE2}};
const CLSID CLSID_FileOperation = {
    0x3AD05575, 0x8857, 0x4850, {0x92, 0x77, 0x11, 0xB8, 0x5B, 0xDB, 0x8E, 0x09}};

namespace {

// The calling thread's apartment: how many successful CoInitializeEx calls are still open.
struct TApartment {
    unsigned initializations = 0;
    bool singleThreaded = false;
};

thread_local TApartment apartment;

}  // namespace

namespace OrvaneLib::Pal {

HRESULT searchInterfaceTable(void* that, const QITAB* table, REFIID riid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (that == nullptr || table == nullptr || table->piid == nullptr) {
        return E_NOINTERFACE;
    }
    const QITAB* match = IsEqualIID(riid, IID_IUnknown) ? table : nullptr;
    for (const QITAB* entry = table; match == nullptr && entry->piid != nullptr; ++entry) {
        if (IsEqualIID(riid, *entry->piid)) {
            match = entry;
        }
    }
    if (match == nullptr) {
        return E_NOINTERFACE;
    }
    auto* object =
        reinterpret_cast<IUnknown*>(static_cast<char*>(that) + static_cast<int>(match->dwOffset));
    object->AddRef();
    *result = object;
    return S_OK;
}

}  // namespace OrvaneLib::Pal

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (const auto fault = OrvaneLib::Pal::injectedFault("CoInitializeEx")) {
        return *fault;
    }
    if (pvReserved != nullptr) {
        return E_INVALIDARG;
    }
    const bool singleThreaded = (dwCoInit & COINIT_APARTMENTTHREADED) != 0;
    if (apartment.initializations == 0) {
        apartment.singleThreaded = singleThreaded;
        apartment.initializations = 1;
        return S_OK;
    }
    if (apartment.singleThreaded != singleThreaded) {
        return RPC_E_CHANGED_MODE;
    }
    ++apartment.initializations;
    return S_FALSE;
}

void WINAPI CoUninitialize() {
    if (apartment.initializations > 0) {
        --apartment.initializations;
    }
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    if (const auto fault = OrvaneLib::Pal::injectedFault("CoCreateInstance")) {
        return *fault;
    }
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (apartment.initializations == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if (!IsEqualCLSID(rclsid, CLSID_FileOperation) || (dwClsContext & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return OrvaneLib::Pal::createFileOperation(riid, ppv);
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    return malloc(cb == 0 ? 1 : cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    free(pv);
}

HRESULT WINAPI QISearch(void* that, LPCQITAB pqit, REFIID riid, void** ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    if (const auto fault = OrvaneLib::Pal::injectedFault("QISearch")) {
        return *fault;
    }
    return OrvaneLib::Pal::searchInterfaceTable(that, pqit, riid, ppv);
}
