// Allocation-failure injection for tests. Test programs are linked with
// -Wl,--wrap=malloc, so every malloc call of the code under test (and of the
// test itself) passes through here; nothing fails until a test arms it.
#ifndef ORVEX_TESTS_FAILMALLOC_H
#define ORVEX_TESTS_FAILMALLOC_H

#include <stddef.h>

// Fail the nth allocation from now (1 = the next one). With persistent set,
// every allocation after it fails too.
void FailMallocArm(long nth, bool persistent);
void FailMallocDisarm(void);
// Allocations seen since the last arm (counting the failed ones).
long FailMallocCalls(void);
// Allocations refused since the last arm.
long FailMallocFailures(void);

// Arms for the lifetime of a scope.
struct FailMallocScope {
    FailMallocScope(long nth, bool persistent) { FailMallocArm(nth, persistent); }
    ~FailMallocScope() { FailMallocDisarm(); }
    FailMallocScope(const FailMallocScope &) = delete;
    FailMallocScope &operator=(const FailMallocScope &) = delete;
};

#endif
