#include "support/AllocationCounter.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* block, size_t size);

namespace {

// Not thread_local: MinGW emulates that with malloc. GetCurrentThreadId leaves the last error.
unsigned long currentThread() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(pthread_self());
#endif
}

std::atomic<unsigned long> watched{0};
size_t allocations = 0;
long long failAfter = -1;

bool shouldFail() {
    if (watched != currentThread()) {
        return false;
    }
    ++allocations;
    return failAfter >= 0 && failAfter-- == 0;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    return shouldFail() ? nullptr : __real_malloc(size);
}

extern "C" void* __wrap_realloc(void* block, size_t size) {
    return shouldFail() ? nullptr : __real_realloc(block, size);
}

namespace OrvaneTest {

size_t watchAllocations() {
    watched = currentThread();
    return allocations;
}

void failAllocationAfter(long long successes) {
    watchAllocations();
    failAfter = successes;
}

}  // namespace OrvaneTest
