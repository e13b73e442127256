#include "targettable.h"

#include <cstring>

#define FUZZ_TARGET(name)                                                                                              \
    extern "C" int fuzz_##name##_init(int*, char***);                                                                  \
    extern "C" int fuzz_##name##_test(const uint8_t*, size_t);
#include "targets.inc"
#undef FUZZ_TARGET

const FuzzTarget FuzzTargets[] = {
#define FUZZ_TARGET(name) { #name, fuzz_##name##_init, fuzz_##name##_test },
#include "targets.inc"
#undef FUZZ_TARGET
};

const size_t FuzzTargetCount = sizeof FuzzTargets / sizeof FuzzTargets[0];

const FuzzTarget* findFuzzTarget(const char* name)
{
    for (const FuzzTarget& target : FuzzTargets) {
        if (strcmp(target.name, name) == 0)
            return &target;
    }
    return nullptr;
}
