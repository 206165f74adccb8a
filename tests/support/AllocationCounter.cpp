#include "support/AllocationCounter.h"

#include <cstdlib>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* block, size_t size);

namespace {
thread_local size_t allocations = 0;
// Successful allocations left before the injected failure; negative when none is armed.
thread_local long long failAfter = -1;
thread_local bool failed = false;

bool shouldFail() {
    ++allocations;
    if (failAfter < 0) {
        return false;
    }
    if (failAfter == 0) {
        failAfter = -1;
        failed = true;
        return true;
    }
    --failAfter;
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

AllocationCount::AllocationCount() : start_(allocations) {}

size_t AllocationCount::count() const {
    return allocations - start_;
}

FailAllocation::FailAllocation(size_t successes) {
    failAfter = static_cast<long long>(successes);
    failed = false;
}

FailAllocation::~FailAllocation() {
    failAfter = -1;
}

bool FailAllocation::triggered() const {
    return failed;
}

}  // namespace OrvaneTest
