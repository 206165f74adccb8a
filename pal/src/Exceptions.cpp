#include "pal/inc/WinKernel.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct THandlerEntry {
    THandlerEntry(ULONG_PTR id, PVECTORED_EXCEPTION_HANDLER handler) : id(id), handler(handler) {}

    const ULONG_PTR id;
    const PVECTORED_EXCEPTION_HANDLER handler;
    std::atomic<bool> removed{false};
};

using THandlers = std::vector<std::shared_ptr<THandlerEntry>>;

// The registered handlers. Dispatch works on a copy, so handlers run without the lock and may add
// or remove handlers themselves. Handles are ids that are never reused, so removing with a stale
// handle can not take out a newer handler.
class THandlerList {
public:
    PVOID add(bool first, PVECTORED_EXCEPTION_HANDLER handler) {
        std::lock_guard<std::mutex> guard(lock_);
        auto entry = std::make_shared<THandlerEntry>(++lastId_, handler);
        if (first) {
            entries_.push_front(entry);
        } else {
            entries_.push_back(entry);
        }
        return reinterpret_cast<PVOID>(entry->id);
    }

    bool remove(PVOID handle) {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = std::find_if(entries_.begin(), entries_.end(), [handle](const auto& entry) {
            return entry->id == reinterpret_cast<ULONG_PTR>(handle);
        });
        if (found == entries_.end()) {
            return false;
        }
        (*found)->removed = true;
        entries_.erase(found);
        return true;
    }

    THandlers snapshot() {
        std::lock_guard<std::mutex> guard(lock_);
        return THandlers(entries_.begin(), entries_.end());
    }

private:
    std::mutex lock_;
    std::deque<std::shared_ptr<THandlerEntry>> entries_;
    ULONG_PTR lastId_ = 0;
};

// Never destroyed: exceptions may still be raised while the process shuts down.
THandlerList& handlers() {
    static THandlerList& list = *new THandlerList;
    return list;
}

EXCEPTION_RECORD makeRecord(DWORD code, DWORD flags, DWORD argumentCount,
                            const ULONG_PTR* arguments) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionFlags = flags & EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = reinterpret_cast<PVOID>(&RaiseException);
    if (arguments != nullptr) {
        record.NumberParameters = std::min<DWORD>(argumentCount, EXCEPTION_MAXIMUM_PARAMETERS);
        std::copy(arguments, arguments + record.NumberParameters, record.ExceptionInformation);
    }
    return record;
}

}  // namespace

PVOID WINAPI AddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler) {
    if (handler == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return handlers().add(first != 0, handler);
}

ULONG WINAPI RemoveVectoredExceptionHandler(PVOID handle) {
    return handlers().remove(handle) ? 1 : 0;
}

void WINAPI RaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                           const ULONG_PTR* arguments) {
    EXCEPTION_RECORD record = makeRecord(code, flags, argumentCount, arguments);
    EXCEPTION_POINTERS pointers{&record, nullptr};
    for (const std::shared_ptr<THandlerEntry>& entry : handlers().snapshot()) {
        if (entry->removed || entry->handler(&pointers) != EXCEPTION_CONTINUE_EXECUTION) {
            continue;
        }
        if ((record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0) {
            return;
        }
        break;
    }
    throw PalStructuredException(record);
}
