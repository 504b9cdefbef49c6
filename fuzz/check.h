// A failed property: name it (and what it was about), then abort so libFuzzer keeps the input.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string_view>
inline void check(bool ok, const char* property, std::string_view about = {}) {
    if (ok) return;
    std::fprintf(stderr, "property failed: %s %.*s\n", property, int(about.size()), about.data());
    std::abort();
}
