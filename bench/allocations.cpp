#include "allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> count{0};
std::atomic<long> bytes{0};

}  // namespace

// Kept apart from the code it measures, so that the compiler never pairs these with the inlined
// allocations of a caller.
void* operator new(std::size_t size) {
    count.fetch_add(1, std::memory_order_relaxed);
    bytes.fetch_add(static_cast<long>(size), std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace quarn7::bench {

Allocations allocations_so_far() {
    return {count.load(std::memory_order_relaxed), bytes.load(std::memory_order_relaxed)};
}

}  // namespace quarn7::bench
