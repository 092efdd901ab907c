#include "support/failmalloc.h"

#include <stdlib.h>

extern "C" void *__real_malloc(size_t size);

static bool armed = false;
static bool fail_persistently = false;
static long countdown = 0;
static long calls = 0;
static long failures = 0;

void FailMallocArm(long nth, bool persistent) {
    armed = true;
    fail_persistently = persistent;
    countdown = nth;
    calls = 0;
    failures = 0;
}

void FailMallocDisarm(void) {
    armed = false;
}
long FailMallocCalls(void) {
    return calls;
}
long FailMallocFailures(void) {
    return failures;
}

extern "C" void *__wrap_malloc(size_t size) {
    if (armed) {
        ++calls;
        if (countdown > 0 && --countdown == 0) {
            ++failures;
            countdown = fail_persistently ? -1 : 0;
            return nullptr;
        }
        if (countdown < 0) {
            ++failures;
            return nullptr;
        }
    }
    return __real_malloc(size);
}
