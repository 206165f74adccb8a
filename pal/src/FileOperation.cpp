#include "pal/src/FileOperation.h"

#include "pal/src/ComObject.h"
#include "pal/src/PathMapping.h"
#include "pal/src/TreeRemoval.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace OrvaneLib::Pal {

namespace {

// One queued item, resolved to the file system and read just before the operation starts.
struct TPlannedItem {
    TComPtr<IShellItem> item;
    HRESULT problem = S_OK;  // why it can not be deleted, known before trying
    std::unique_ptr<TTreeRemoval> removal;

    unsigned work() const { return removal ? removal->count() : 1; }
};

TPlannedItem plan(TComPtr<IShellItem> item, DWORD flags) {
    TPlannedItem planned{std::move(item), S_OK, nullptr};
    LPWSTR name = nullptr;
    planned.problem = planned.item->GetDisplayName(SIGDN_FILESYSPATH, &name);
    std::unique_ptr<WCHAR, decltype(&CoTaskMemFree)> nameMemory(name, &CoTaskMemFree);
    if (FAILED(planned.problem)) {
        return planned;
    }
    const TMappedPath mapped = mapWindowsPath(name);
    if (mapped.error != ERROR_SUCCESS) {
        planned.problem = HRESULT_FROM_WIN32(mapped.error);
    } else if ((flags & (FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE)) != 0) {
        planned.problem = HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    } else if (isDriveRoot(mapped.posix)) {
        planned.problem = E_ACCESSDENIED;
    } else {
        planned.removal = std::make_unique<TTreeRemoval>(mapped.posix);
    }
    return planned;
}

class TFileOperation final : public TComObject<IFileOperation> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        static const QITAB table[] = {
            {&IID_IFileOperation, OFFSETOFCLASS(IFileOperation, TFileOperation)}, {nullptr, 0}};
        return searchInterfaceTable(this, table, riid, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink* pfops, DWORD* pdwCookie) override {
        if (const auto fault = injectedFault("Advise")) {
            return *fault;
        }
        if (pfops == nullptr || pdwCookie == nullptr) {
            return E_INVALIDARG;
        }
        *pdwCookie = nextCookie_++;
        sinks_.emplace_back(*pdwCookie, TComPtr<IFileOperationProgressSink>::share(pfops));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override {
        if (const auto fault = injectedFault("Unadvise")) {
            return *fault;
        }
        auto sink = std::find_if(sinks_.begin(), sinks_.end(),
                                 [dwCookie](const auto& entry) { return entry.first == dwCookie; });
        if (sink == sinks_.end()) {
            return E_INVALIDARG;
        }
        sinks_.erase(sink);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD dwOperationFlags) override {
        if (const auto fault = injectedFault("SetOperationFlags")) {
            return *fault;
        }
        flags_ = dwOperationFlags;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown* punkItems) override {
        if (const auto fault = injectedFault("DeleteItems")) {
            return *fault;
        }
        if (punkItems == nullptr) {
            return E_INVALIDARG;
        }
        TComPtr<IShellItemArray> array;
        HRESULT result =
            punkItems->QueryInterface(IID_IShellItemArray, reinterpret_cast<void**>(array.put()));
        DWORD count = 0;
        if (SUCCEEDED(result)) {
            result = array->GetCount(&count);
        }
        std::vector<TComPtr<IShellItem>> items;
        for (DWORD i = 0; SUCCEEDED(result) && i < count; ++i) {
            TComPtr<IShellItem> item;
            result = array->GetItemAt(i, item.put());
            items.push_back(std::move(item));
        }
        if (FAILED(result)) {
            return result;
        }
        std::move(items.begin(), items.end(), std::back_inserter(queue_));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE PerformOperations() override {
        if (const auto fault = injectedFault("PerformOperations")) {
            return *fault;
        }
        if (queue_.empty()) {
            return S_OK;
        }
        std::vector<TPlannedItem> items;
        for (TComPtr<IShellItem>& item : std::exchange(queue_, {})) {
            items.push_back(plan(std::move(item), flags_));
        }
        unsigned total = 0;
        for (const TPlannedItem& item : items) {
            total += item.work();
        }
        notifySinks([](IFileOperationProgressSink* sink) { return sink->StartOperations(); });
        const HRESULT result = deleteAll(items, total);
        notifySinks(
            [result](IFileOperationProgressSink* sink) { return sink->FinishOperations(result); });
        return result;
    }

    HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(BOOL* pfAnyOperationsAborted) override {
        if (const auto fault = injectedFault("GetAnyOperationsAborted")) {
            return *fault;
        }
        if (pfAnyOperationsAborted == nullptr) {
            return E_POINTER;
        }
        *pfAnyOperationsAborted = anyAborted_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenameItem(IShellItem*, LPCWSTR,
                                         IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RenameItems(IUnknown*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveItem(IShellItem*, IShellItem*, LPCWSTR,
                                       IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE MoveItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyItem(IShellItem*, IShellItem*, LPCWSTR,
                                       IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem*, IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE NewItem(IShellItem*, DWORD, LPCWSTR, LPCWSTR,
                                      IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }

private:
    // Calls every advised sink in the order they were advised; the first failure, else S_OK.
    template <typename Call>
    HRESULT notifySinks(Call call) {
        // A copy, so that a sink may unadvise from inside the call.
        const auto sinks = sinks_;
        HRESULT result = S_OK;
        for (const auto& entry : sinks) {
            const HRESULT answer = call(entry.second.get());
            if (FAILED(answer) && SUCCEEDED(result)) {
                result = answer;
            }
        }
        return result;
    }

    void reportProgress(unsigned total, unsigned done) {
        notifySinks([total, done](IFileOperationProgressSink* sink) {
            return sink->UpdateProgress(total, done);
        });
    }

    HRESULT deleteAll(const std::vector<TPlannedItem>& items, unsigned total) {
        const bool earlyFailure = (flags_ & FOFX_EARLYFAILURE) != 0;
        unsigned done = 0;
        reportProgress(total, done);
        HRESULT result = S_OK;
        for (const TPlannedItem& item : items) {
            IShellItem* shellItem = item.item.get();
            if (FAILED(notifySinks([shellItem](IFileOperationProgressSink* sink) {
                    return sink->PreDeleteItem(TSF_NORMAL, shellItem);
                }))) {
                anyAborted_ = TRUE;
                return COPYENGINE_E_USER_CANCELLED;
            }
            const unsigned itemEnd = done + item.work();
            const HRESULT itemResult = deleteItem(item, earlyFailure, [&] {
                done = std::min(done + 1, itemEnd);
                reportProgress(total, done);
            });
            const HRESULT answer =
                notifySinks([shellItem, itemResult](IFileOperationProgressSink* sink) {
                    return sink->PostDeleteItem(TSF_NORMAL, shellItem, itemResult, nullptr);
                });
            if (FAILED(itemResult)) {
                anyAborted_ = TRUE;
                result = SUCCEEDED(result) ? itemResult : result;
                if (earlyFailure) {
                    return result;
                }
            }
            if (FAILED(answer)) {
                anyAborted_ = TRUE;
                return SUCCEEDED(result) ? COPYENGINE_E_USER_CANCELLED : result;
            }
            if (done < itemEnd) {
                done = itemEnd;
                reportProgress(total, done);
            }
        }
        return result;
    }

    static HRESULT deleteItem(const TPlannedItem& item, bool earlyFailure,
                              const std::function<void()>& onRemoved) {
        if (FAILED(item.problem)) {
            return item.problem;
        }
        const int error = item.removal->remove(earlyFailure, onRemoved);
        return error == 0 ? S_OK : HRESULT_FROM_WIN32(win32ErrorFromErrno(error));
    }

    // Windows' flags when SetOperationFlags is never called.
    DWORD flags_ = FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR;
    std::vector<std::pair<DWORD, TComPtr<IFileOperationProgressSink>>> sinks_;
    DWORD nextCookie_ = 1;
    std::vector<TComPtr<IShellItem>> queue_;
    BOOL anyAborted_ = FALSE;
};

}  // namespace

HRESULT createFileOperation(REFIID riid, void** result) {
    auto operation = TComPtr<IFileOperation>::adopt(new (std::nothrow) TFileOperation);
    if (!operation) {
        return E_OUTOFMEMORY;
    }
    return operation->QueryInterface(riid, result);
}

}  // namespace OrvaneLib::Pal
