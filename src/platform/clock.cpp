#include "quarn7/clock.h"

#include <thread>

namespace quarn7 {

namespace {

class SteadyClock : public Clock {
  public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void sleep_until(time_point deadline) override { std::this_thread::sleep_until(deadline); }
};

}  // namespace

Clock& steady_clock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace quarn7
