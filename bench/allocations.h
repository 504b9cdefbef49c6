// Heap allocations of the whole program, counted by a replaced global operator new.
#pragma once

namespace quarn7::bench {

struct Allocations {
    long count;
    long bytes;
};
Allocations allocations_so_far();

}  // namespace quarn7::bench
