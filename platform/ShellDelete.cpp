#include "platform/ShellDelete.h"

#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"
#include "platform/Paths.h"
#include "platform/Win32FileOpProgSink.h"
#include "win32/Win32Api.h"

#include <utility>
#include <vector>

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("platform\\ShellDelete.cpp");

// Silent, no confirmations, no error dialogs, an elevation prompt when needed, stop at the first
// failing item. Neither undo nor the Recycle Bin: deletions are permanent.
constexpr DWORD kDeleteFlags = FOF_NO_UI | FOFX_SHOWELEVATIONPROMPT | FOFX_EARLYFAILURE;

// Logs the failed call's result behind the lead text; the operation then gives false.
bool fail(const TString& lead, HRESULT result, int32_t line) {
    TString message = lead + TString(static_cast<long>(result));
    reportError(message.c_str(), ORVANE_TEXT("S").c_str(), 1, 1, kSourceFile.text().c_str(), line);
    return false;
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The text of folder followed by a separator, or folder ending in one, begins path. C:\Games\AB
// does not lie inside C:\Games\A.
bool liesInside(const TString& path, const TString& folder) {
    uint32_t length = folder.getLength();
    if (length == 0 || path.getLength() <= length || !path.startsWith(folder)) {
        return false;
    }
    return isSeparator(folder.c_str()[length - 1]) || isSeparator(path.c_str()[length]);
}

// The paths in their order, without repeats and without those that lie inside another: deleting
// a folder deletes what it holds.
void reducePaths(const TArray<TString>& paths, TArray<TString>& reduced) {
    uint32_t count = paths.getCount();
    for (uint32_t i = 0; i < count; ++i) {
        TString path = paths.get(i);
        bool covered = false;
        for (uint32_t j = 0; j < count && !covered; ++j) {
            TString other = paths.get(j);
            covered = liesInside(path, other) || (j < i && other == path);
        }
        if (!covered) {
            reduced.add(path);
        }
    }
}

// Holds one reference to a COM object.
template <typename Interface>
class TComReference {
public:
    TComReference() = default;
    TComReference(const TComReference&) = delete;
    TComReference& operator=(const TComReference&) = delete;
    ~TComReference() { reset(); }

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    // For a call that hands out a new reference.
    Interface** out() {
        reset();
        return &object_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }

private:
    void reset() {
        if (object_ != nullptr) {
            std::exchange(object_, nullptr)->Release();
        }
    }

    Interface* object_ = nullptr;
};

// The sink lives on the heap with its own reference, so that a Shell that keeps it beyond the
// operation keeps a live object; the callable is dropped first, so that such a sink calls nobody.
class TSinkOwner {
public:
    TSinkOwner() = default;
    TSinkOwner(const TSinkOwner&) = delete;
    TSinkOwner& operator=(const TSinkOwner&) = delete;
    ~TSinkOwner() {
        if (sink_ != nullptr) {
            sink_->dropProgress();
            sink_->Release();
        }
    }

    Orvane::Win32FileOpProgSink* create() { return sink_ = new Orvane::Win32FileOpProgSink; }
    Orvane::Win32FileOpProgSink* operator->() const { return sink_; }

private:
    Orvane::Win32FileOpProgSink* sink_ = nullptr;
};

// The calling thread's COM apartment for one operation. A thread that is already a multi-threaded
// apartment stays one and keeps its initialisation.
class TComApartment {
public:
    TComApartment() = default;
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    ~TComApartment() {
        if (entered_) {
            CoUninitialize();
        }
    }

    HRESULT enter() {
        HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        entered_ = SUCCEEDED(result);
        return result;
    }

private:
    bool entered_ = false;
};

// Item ID lists of the paths to delete, freed together.
class TItemIdLists {
public:
    // Room for every list up front, so that adding one never fails and loses it.
    explicit TItemIdLists(uint32_t capacity) { lists_.reserve(capacity); }
    TItemIdLists(const TItemIdLists&) = delete;
    TItemIdLists& operator=(const TItemIdLists&) = delete;
    ~TItemIdLists() { freeAll(); }

    void add(PIDLIST_ABSOLUTE list) {
        if (list != nullptr) {
            lists_.push_back(list);
        }
    }
    bool isEmpty() const { return lists_.empty(); }

    // The Shell items of the lists; the lists are freed whatever the result.
    HRESULT makeItemArray(IShellItemArray** items) {
        HRESULT result = SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists_.size()),
                                                           lists_.data(), items);
        freeAll();
        return result;
    }

private:
    void freeAll() {
        for (PCIDLIST_ABSOLUTE list : lists_) {
            ILFree(const_cast<PIDLIST_ABSOLUTE>(list));
        }
        lists_.clear();
    }

    std::vector<PCIDLIST_ABSOLUTE> lists_;
};

// One deletion. The members go in reverse order: the sink's interface, the file operation, the
// item array, the apartment, and last the sink's callable and our own reference to it.
class TShellDeletion {
public:
    explicit TShellDeletion(const ProgressCallback& progress) : progress_(progress) {}

    bool run(const TArray<TString>& paths) {
        if (!start()) {
            return false;
        }
        TItemIdLists lists(paths.getCount());
        bool anyExists = collect(paths, lists);
        if (lists.isEmpty()) {
            // The code is the last result the operation had, as no call failed here.
            return anyExists ? fail(ORVANE_TEXT("No shell item for the paths to delete, result "),
                                    flagsResult_, __LINE__)
                             : true;
        }
        HRESULT result = lists.makeItemArray(items_.out());
        if (FAILED(result)) {
            return itemArrayFailed(result);
        }
        return perform();
    }

private:
    bool start() {
        HRESULT result = apartment_.enter();
        if (FAILED(result) && result != RPC_E_CHANGED_MODE) {
            return fail(ORVANE_TEXT("Cannot initialise COM, result "), result, __LINE__);
        }
        result = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation,
                                  operation_.outVoid());
        if (FAILED(result)) {
            return fail(ORVANE_TEXT("Cannot create the file operation, result "), result, __LINE__);
        }
        flagsResult_ = operation_->SetOperationFlags(kDeleteFlags);
        if (FAILED(flagsResult_)) {
            return fail(ORVANE_TEXT("Cannot set the file operation's flags, result "), flagsResult_,
                        __LINE__);
        }
        return true;
    }

    // The item ID lists of the paths that exist, as absolute paths with "\"; whether any exists.
    static bool collect(const TArray<TString>& paths, TItemIdLists& lists) {
        bool anyExists = false;
        for (uint32_t i = 0; i < paths.getCount(); ++i) {
            TString path = paths.get(i);
            if (path.isEmpty() || !pathExists(path)) {
                continue;
            }
            // A path that begins with a separator is absolute as it stands: joined to the
            // current directory it would name another object than the one that was found.
            if (!isAbsolutePath(path)) {
                path = joinPath(getCurrentDirectory(), path);
            }
            path.replaceChar('/', '\\', true);
            anyExists = true;
            lists.add(ILCreateFromPathW(path.toWide().get()));
        }
        return anyExists;
    }

    // An item that vanished since it was looked at leaves nothing to delete.
    bool itemArrayFailed(HRESULT result) {
        if (HRESULT_CODE(result) != ERROR_FILE_NOT_FOUND) {
            return fail(ORVANE_TEXT("Cannot make the shell items, result "), result, __LINE__);
        }
        if (progress_) {
            progress_(1, 1);
        }
        return true;
    }

    bool perform() {
        HRESULT result = sink_.create()->QueryInterface(IID_IFileOperationProgressSink,
                                                        sinkInterface_.outVoid());
        if (FAILED(result)) {
            return fail(ORVANE_TEXT("The progress sink does not answer, result "), result,
                        __LINE__);
        }
        DWORD cookie = 0;
        operation_->Advise(sinkInterface_.get(), &cookie);
        sink_->setProgress(progress_);
        result = operation_->DeleteItems(items_.get());
        if (FAILED(result)) {
            return fail(ORVANE_TEXT("Cannot queue the items for deletion, result "), result,
                        __LINE__);
        }
        result = operation_->PerformOperations();
        if (FAILED(result)) {
            return fail(ORVANE_TEXT("The deletion failed, result "), result, __LINE__);
        }
        return true;
    }

    const ProgressCallback& progress_;
    TSinkOwner sink_;
    TComApartment apartment_;
    TComReference<IShellItemArray> items_;
    TComReference<IFileOperation> operation_;
    TComReference<IFileOperationProgressSink> sinkInterface_;
    HRESULT flagsResult_ = S_OK;
};

}  // namespace

bool shellDeletePaths(TArray<TString> paths, ProgressCallback progress) {
    if (paths.getCount() == 0) {
        return true;
    }
    TArray<TString> reduced;
    reducePaths(paths, reduced);
    TShellDeletion deletion(progress);
    return deletion.run(reduced);
}

}  // namespace OrvaneLib
