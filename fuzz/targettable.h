#pragma once

#include <cstddef>
#include <cstdint>

// Every fuzz target of targets.inc linked into one program (the corpus replay of the tests and
// the corpus benchmark), each entry point renamed by fuzz/CMakeLists.txt.
struct FuzzTarget
{
    const char* name;
    int (*init)(int*, char***);
    int (*test)(const uint8_t*, size_t);
};

extern const FuzzTarget FuzzTargets[];
extern const size_t FuzzTargetCount;

// The target of that name, or null.
const FuzzTarget* findFuzzTarget(const char* name);
