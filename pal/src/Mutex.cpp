#include "pal/src/KernelFault.h"
#include "pal/src/KernelObjects.h"

#include <pthread.h>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using OrvaneLib::Pal::findHandleOf;
using OrvaneLib::Pal::insertHandle;
using OrvaneLib::Pal::TKernelObject;

namespace {

class TMutexObject;

// The mutexes a thread owns, kept in thread-specific data whose destructor runs when the thread
// ends: it abandons them, as Windows does, so that no later thread (which may get the same id)
// inherits them, and the next waiter learns of it. The main thread's list is never destroyed, so
// waits made while the process shuts down stay safe.
class TOwnedMutexes {
public:
    static TOwnedMutexes& current();
    void add(std::shared_ptr<TMutexObject> mutex) { owned_.push_back(std::move(mutex)); }
    void remove(const TMutexObject* mutex);

private:
    static void threadEnded(void* list);

    std::vector<std::shared_ptr<TMutexObject>> owned_;
};

class TMutexObject : public TKernelObject, public std::enable_shared_from_this<TMutexObject> {
public:
    // Returns WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT.
    DWORD wait(DWORD milliseconds) {
        const std::thread::id self = std::this_thread::get_id();
        std::unique_lock<std::mutex> guard(lock_);
        if (owner_ == self) {
            ++recursion_;
            return WAIT_OBJECT_0;
        }
        auto isFree = [this] { return owner_ == std::thread::id(); };
        if (milliseconds == INFINITE) {
            freed_.wait(guard, isFree);
        } else if (!freed_.wait_for(guard, std::chrono::milliseconds(milliseconds), isFree)) {
            return WAIT_TIMEOUT;
        }
        owner_ = self;
        recursion_ = 1;
        const DWORD result = abandoned_ ? WAIT_ABANDONED : WAIT_OBJECT_0;
        abandoned_ = false;
        guard.unlock();
        TOwnedMutexes::current().add(shared_from_this());
        return result;
    }

    bool release() {
        std::unique_lock<std::mutex> guard(lock_);
        if (owner_ != std::this_thread::get_id()) {
            return false;
        }
        if (--recursion_ > 0) {
            return true;
        }
        owner_ = std::thread::id();
        guard.unlock();
        freed_.notify_one();
        TOwnedMutexes::current().remove(this);
        return true;
    }

    void abandon(std::thread::id thread) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (owner_ != thread) {
                return;
            }
            owner_ = std::thread::id();
            recursion_ = 0;
            abandoned_ = true;
        }
        freed_.notify_one();
    }

private:
    std::mutex lock_;
    std::condition_variable freed_;
    std::thread::id owner_;
    unsigned recursion_ = 0;
    bool abandoned_ = false;
};

TOwnedMutexes& TOwnedMutexes::current() {
    static const pthread_key_t key = [] {
        pthread_key_t created{};
        pthread_key_create(&created, &threadEnded);
        return created;
    }();
    auto* list = static_cast<TOwnedMutexes*>(pthread_getspecific(key));
    if (list == nullptr) {
        list = new TOwnedMutexes;
        pthread_setspecific(key, list);
    }
    return *list;
}

void TOwnedMutexes::threadEnded(void* list) {
    std::unique_ptr<TOwnedMutexes> owned(static_cast<TOwnedMutexes*>(list));
    for (const std::shared_ptr<TMutexObject>& mutex : owned->owned_) {
        mutex->abandon(std::this_thread::get_id());
    }
}

void TOwnedMutexes::remove(const TMutexObject* mutex) {
    auto found = std::find_if(owned_.begin(), owned_.end(),
                              [mutex](const auto& owned) { return owned.get() == mutex; });
    if (found != owned_.end()) {
        owned_.erase(found);
    }
}

}  // namespace

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    if (palFailsWithLastError("CreateMutexW")) {
        return nullptr;
    }
    if (name != nullptr && name[0] != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto mutex = std::make_shared<TMutexObject>();
    if (initialOwner) {
        mutex->wait(INFINITE);
    }
    HANDLE handle = insertHandle(std::move(mutex));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (palFailsWithLastError("WaitForSingleObject")) {
        return WAIT_FAILED;
    }
    std::shared_ptr<TMutexObject> mutex = findHandleOf<TMutexObject>(handle);
    return mutex ? mutex->wait(milliseconds) : WAIT_FAILED;
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
    if (palFailsWithLastError("ReleaseMutex")) {
        return FALSE;
    }
    std::shared_ptr<TMutexObject> mutex = findHandleOf<TMutexObject>(handle);
    if (!mutex) {
        return FALSE;
    }
    if (!mutex->release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
