// The progress sink that the Shell's file operation calls while it deletes.
#pragma once

#include "Common/General/ProgressCallback.h"
#include "win32/Win32Api.h"

#include <atomic>
#include <cstdint>

namespace Orvane {

// Passes the operation's progress to a ProgressCallback and lets every deletion go ahead. The
// Shell calls it on the thread that performs the operation. It starts with one reference, its
// creator's; the last Release deletes it.
class Win32FileOpProgSink final : public IFileOperationProgressSink {
public:
    Win32FileOpProgSink() = default;
    Win32FileOpProgSink(const Win32FileOpProgSink&) = delete;
    Win32FileOpProgSink& operator=(const Win32FileOpProgSink&) = delete;

    void setProgress(OrvaneLib::ProgressCallback callback) { progress = std::move(callback); }
    // After this the sink calls nobody, however long the Shell keeps it.
    void dropProgress() { progress = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE StartOperations() override;
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT hrResult) override;
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD dwFlags, IShellItem* psiItem,
                                            LPCWSTR pszNewName) override;
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD dwFlags, IShellItem* psiItem, LPCWSTR pszNewName,
                                             HRESULT hrRename,
                                             IShellItem* psiNewlyCreated) override;
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD dwFlags, IShellItem* psiItem,
                                          IShellItem* psiDestinationFolder,
                                          LPCWSTR pszNewName) override;
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD dwFlags, IShellItem* psiItem,
                                           IShellItem* psiDestinationFolder, LPCWSTR pszNewName,
                                           HRESULT hrMove, IShellItem* psiNewlyCreated) override;
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD dwFlags, IShellItem* psiItem,
                                          IShellItem* psiDestinationFolder,
                                          LPCWSTR pszNewName) override;
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD dwFlags, IShellItem* psiItem,
                                           IShellItem* psiDestinationFolder, LPCWSTR pszNewName,
                                           HRESULT hrCopy, IShellItem* psiNewlyCreated) override;
    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD dwFlags, IShellItem* psiItem) override;
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD dwFlags, IShellItem* psiItem, HRESULT hrDelete,
                                             IShellItem* psiNewlyCreated) override;
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD dwFlags, IShellItem* psiDestinationFolder,
                                         LPCWSTR pszNewName) override;
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD dwFlags, IShellItem* psiDestinationFolder,
                                          LPCWSTR pszNewName, LPCWSTR pszTemplateName,
                                          DWORD dwFileAttributes, HRESULT hrNew,
                                          IShellItem* psiNewItem) override;
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT iWorkTotal, UINT iWorkSoFar) override;
    HRESULT STDMETHODCALLTYPE ResetTimer() override;
    HRESULT STDMETHODCALLTYPE PauseTimer() override;
    HRESULT STDMETHODCALLTYPE ResumeTimer() override;

private:
    // Only Release deletes.
    ~Win32FileOpProgSink() = default;

    std::atomic<uint32_t> references{1};
    OrvaneLib::ProgressCallback progress;
};

}  // namespace Orvane
