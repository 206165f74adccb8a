// Counts the malloc and realloc calls of the code linked statically into a test executable (the
// executable is linked with --wrap=malloc,--wrap=realloc), and can make one of them fail.
// Counting is per thread, so the test framework's other threads do not disturb it.
#pragma once

#include <cstddef>

namespace OrvaneTest {

// Counts from construction to count().
class AllocationCount {
public:
    AllocationCount();
    size_t count() const;

private:
    size_t start_;
};

// While alive, the allocation that comes after `successes` more successful ones returns null
// (once). On destruction the injection is cleared.
class FailAllocation {
public:
    explicit FailAllocation(size_t successes);
    ~FailAllocation();
    FailAllocation(const FailAllocation&) = delete;
    FailAllocation& operator=(const FailAllocation&) = delete;
    bool triggered() const;
};

}  // namespace OrvaneTest
