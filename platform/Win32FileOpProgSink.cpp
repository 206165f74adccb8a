#include "platform/Win32FileOpProgSink.h"

namespace Orvane {

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::QueryInterface(REFIID riid, void** ppv) {
    // QISearch answers IUnknown with the first entry.
    static const QITAB interfaces[] = {
        {&IID_IFileOperationProgressSink, static_cast<decltype(QITAB::dwOffset)>(OFFSETOFCLASS(
                                              IFileOperationProgressSink, Win32FileOpProgSink))},
        {nullptr, 0}};
    return QISearch(this, interfaces, riid, ppv);
}

ULONG STDMETHODCALLTYPE Win32FileOpProgSink::AddRef() {
    return ++references;
}

ULONG STDMETHODCALLTYPE Win32FileOpProgSink::Release() {
    uint32_t remaining = --references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::StartOperations() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::FinishOperations(HRESULT) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PreRenameItem(DWORD, IShellItem*, LPCWSTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT,
                                                              IShellItem*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PreMoveItem(DWORD, IShellItem*, IShellItem*,
                                                           LPCWSTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PostMoveItem(DWORD, IShellItem*, IShellItem*,
                                                            LPCWSTR, HRESULT, IShellItem*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PreCopyItem(DWORD, IShellItem*, IShellItem*,
                                                           LPCWSTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PostCopyItem(DWORD, IShellItem*, IShellItem*,
                                                            LPCWSTR, HRESULT, IShellItem*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PreDeleteItem(DWORD, IShellItem*) {
    return S_OK;
}

// A failed item is not recorded: the operation's own result tells whether all went well.
HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PostDeleteItem(DWORD, IShellItem*, HRESULT,
                                                              IShellItem*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PreNewItem(DWORD, IShellItem*, LPCWSTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR,
                                                           DWORD, HRESULT, IShellItem*) {
    return E_NOTIMPL;
}

// The Shell passes the total first; the callable takes the work done first. Progress never
// cancels the operation.
HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::UpdateProgress(UINT iWorkTotal, UINT iWorkSoFar) {
    if (progress) {
        progress(iWorkSoFar, iWorkTotal);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::ResetTimer() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::PauseTimer() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Win32FileOpProgSink::ResumeTimer() {
    return E_NOTIMPL;
}

}  // namespace Orvane
