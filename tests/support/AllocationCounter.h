// Counts the malloc and realloc calls of the code linked statically into a test executable (the
// executable is linked with --wrap=malloc,--wrap=realloc), and can make one of them fail. Only the
// thread that last made an AllocationCount or a FailAllocation is watched, so that the test
// framework's other threads do not disturb it.
#pragma once

#include <cstddef>

namespace OrvaneTest {

// The allocations that the watched thread has made so far; the calling thread becomes the watched
// one.
size_t watchAllocations();
// The allocation after `successes` more successful ones fails (once); a negative count disarms.
void failAllocationAfter(long long successes);

// Counts from construction to count().
class AllocationCount {
public:
    size_t count() const { return watchAllocations() - start_; }

private:
    size_t start_ = watchAllocations();
};

// While alive, the allocation that comes after `successes` more successful ones returns null.
class FailAllocation {
public:
    explicit FailAllocation(size_t successes) {
        failAllocationAfter(static_cast<long long>(successes));
    }
    ~FailAllocation() { failAllocationAfter(-1); }
};

}  // namespace OrvaneTest
