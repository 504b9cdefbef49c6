// Time for the transactions' reply windows: monotonic, and replaceable so that unit tests drive it
// by hand.
#pragma once

#include <chrono>

#include "quarn7/export.h"

namespace quarn7 {

class QUARN7_API Clock {
public:
    using duration = std::chrono::steady_clock::duration;
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;
    virtual void sleep_until(time_point deadline) = 0;
    void sleep_for(duration d) { sleep_until(now() + d); }
};

// The process-wide monotonic clock.
QUARN7_API Clock& steady_clock();

}  // namespace quarn7
