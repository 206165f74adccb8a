#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#endif

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* block, size_t size);

namespace {

struct TCounterState {
    size_t allocations = 0;
    // Successful allocations left before the injected failure; negative when none is armed.
    long long failAfter = -1;
    bool failed = false;
};

#ifdef _WIN32
// MinGW's thread_local is emulated TLS, which itself calls malloc: the state lives in a native TLS
// slot instead, in memory from the process heap, and the thread's last error is left as it was.
DWORD stateSlot() {
    static std::atomic<DWORD> slot{TLS_OUT_OF_INDEXES};
    DWORD current = slot.load();
    if (current != TLS_OUT_OF_INDEXES) {
        return current;
    }
    const DWORD fresh = TlsAlloc();
    if (slot.compare_exchange_strong(current, fresh)) {
        return fresh;
    }
    TlsFree(fresh);
    return current;
}

TCounterState& state() {
    const DWORD lastError = GetLastError();
    const DWORD slot = stateSlot();
    auto* threadState = static_cast<TCounterState*>(TlsGetValue(slot));
    if (threadState == nullptr) {
        void* block = HeapAlloc(GetProcessHeap(), 0, sizeof(TCounterState));
        threadState = new (block) TCounterState();
        TlsSetValue(slot, threadState);
    }
    SetLastError(lastError);
    return *threadState;
}
#else
TCounterState& state() {
    thread_local TCounterState threadState;
    return threadState;
}
#endif

bool shouldFail() {
    TCounterState& counter = state();
    ++counter.allocations;
    if (counter.failAfter < 0) {
        return false;
    }
    if (counter.failAfter == 0) {
        counter.failAfter = -1;
        counter.failed = true;
        return true;
    }
    --counter.failAfter;
    return false;
}
}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    return shouldFail() ? nullptr : __real_malloc(size);
}

extern "C" void* __wrap_realloc(void* block, size_t size) {
    return shouldFail() ? nullptr : __real_realloc(block, size);
}

namespace OrvaneTest {

AllocationCount::AllocationCount() : start_(state().allocations) {}

size_t AllocationCount::count() const {
    return state().allocations - start_;
}

FailAllocation::FailAllocation(size_t successes) {
    state().failAfter = static_cast<long long>(successes);
    state().failed = false;
}

FailAllocation::~FailAllocation() {
    state().failAfter = -1;
}

bool FailAllocation::triggered() const {
    return state().failed;
}

}  // namespace OrvaneTest
