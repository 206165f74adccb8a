#include "pal/src/KernelObjects.h"

#include "pal/inc/WinKernel.h"
#include "pal/src/KernelFault.h"

#include <mutex>
#include <unordered_map>

namespace OrvaneLib::Pal {

namespace {

class THandleTable {
public:
    HANDLE insert(std::shared_ptr<TKernelObject> object) {
        std::lock_guard<std::mutex> guard(lock_);
        next_ += 4;
        objects_.emplace(next_, std::move(object));
        return reinterpret_cast<HANDLE>(next_);
    }

    std::shared_ptr<TKernelObject> find(HANDLE handle) {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return found == objects_.end() ? nullptr : found->second;
    }

    // The object leaves the table under the lock and is destroyed after it, so that closing a
    // file never waits inside the table.
    std::shared_ptr<TKernelObject> erase(HANDLE handle) {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        if (found == objects_.end()) {
            return nullptr;
        }
        std::shared_ptr<TKernelObject> object = std::move(found->second);
        objects_.erase(found);
        return object;
    }

private:
    std::mutex lock_;
    std::unordered_map<uintptr_t, std::shared_ptr<TKernelObject>> objects_;
    uintptr_t next_ = 0x100;
};

// Never destroyed: handles may still be closed while the process shuts down.
THandleTable& handles() {
    static THandleTable& table = *new THandleTable;
    return table;
}

}  // namespace

HANDLE insertHandle(std::shared_ptr<TKernelObject> object) {
    return handles().insert(std::move(object));
}

std::shared_ptr<TKernelObject> findHandle(HANDLE handle) {
    return handles().find(handle);
}

}  // namespace OrvaneLib::Pal

using namespace OrvaneLib::Pal;

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (palFailsWithLastError("CloseHandle")) {
        return FALSE;
    }
    if (!handles().erase(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
