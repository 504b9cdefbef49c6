// What a fuzz target does when a property fails: say which, then abort so libFuzzer keeps the
// input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace quarn7::fuzz {

inline void check(bool ok, const char* property) {
    if (ok) return;
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

}  // namespace quarn7::fuzz
