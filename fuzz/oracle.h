#pragma once

#include <cstdlib>

// Oracles are left out of coverage: their branches are not the code under test, and tracing
// their comparisons would slow the targets down and steer the fuzzer toward them.
#define ONDIVO_ORACLE __attribute__((no_sanitize("coverage")))

namespace ondivo::fuzz {

// A property that does not hold is a crash, so libFuzzer keeps the input.
ONDIVO_ORACLE inline void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace ondivo::fuzz
