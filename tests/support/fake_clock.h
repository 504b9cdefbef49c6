// A clock that only moves when told to: sleeping advances it at once.
#pragma once

#include "quarn7/clock.h"

namespace quarn7::testing {

class FakeClock : public Clock {
public:
    time_point now() const override { return now_; }
    void sleep_until(time_point deadline) override {
        if (deadline > now_) now_ = deadline;
    }
    void advance(duration d) { now_ += d; }
    // Time since the clock was made.
    duration elapsed() const { return now_ - time_point{}; }

private:
    time_point now_{};
};

}  // namespace quarn7::testing
