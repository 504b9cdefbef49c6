// The simulated unit's answering, shared by its two lines (a pseudo-terminal served by a thread,
// and the in-process port): the answer to each frame under the faults set, when each of its bytes
// has crossed the line, the frame log and the noise. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "quarn7/simulated_unit.h"
#include "sim/frame_reader.h"
#include "sim/responder.h"

namespace quarn7::sim {

struct UnitOptions {
    bool paced = true;
    std::chrono::microseconds turnaround{1000};
    Faults faults;
    bool log = true;
    std::function<void(const LoggedFrame&)> on_frame;
    std::function<void(std::chrono::steady_clock::time_point, const std::string&)> on_noise;
};

class Unit {
public:
    using time_point = std::chrono::steady_clock::time_point;

    struct Answer {
        std::string bytes;  // "" when the unit answers nothing
        time_point start;   // when its first byte starts on the line
    };

    explicit Unit(UnitOptions options);

    // The reader for this unit's line: paced, bytes take their line time to arrive.
    FrameReader frame_reader() const;
    // What the unit sends for `frame` under the faults now set, and when: paced, after the
    // frame's last byte and the turnaround; unpaced, at `now`. Any delay fault comes on top.
    Answer answer(const ReceivedFrame& frame, time_point now);
    // When byte `index` of an answer that starts at `start` has reached the host.
    time_point arrival(time_point start, std::size_t index) const;
    // Logs `frame` with what was sent for it; true when the line hangs up after it.
    bool finish(const ReceivedFrame& frame, const std::string& sent);
    // Records bytes skipped outside frames, if any.
    void skipped(const std::string& noise);

    // The line is to hang up: asked for, or the frames before a hang-up have run out.
    bool hang_up_due() const;
    bool hang_up_requested() const;
    void request_hang_up();
    void line_closed();
    void wait_until_line_closed();
    // Counts every change a line may have to react to (faults, a hang-up); waits for the next one
    // after `seen` until `deadline`.
    std::uint64_t changes() const;
    void wait_for_change(std::uint64_t seen, time_point deadline) const;
    // Called on every change too, for a line that waits on something else than this unit (the
    // pseudo-terminal's thread polls its descriptors).
    void set_waker(std::function<void()> wake);

    void set_faults(const Faults& faults);
    Faults faults() const;
    std::vector<LoggedFrame> frames() const;
    std::string noise() const;
    void clear_frames();
    UnitState state() const;
    void set_tilt(std::uint16_t digital, std::uint16_t analogue);
    void set_item_data(int item, std::string data);
    bool wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void changed();  // with the mutex held

    const UnitOptions options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Responder responder_;
    Faults faults_;
    std::vector<LoggedFrame> log_;
    std::string noise_;
    bool hang_up_requested_ = false;
    bool line_open_ = true;
    std::uint64_t changes_ = 0;
    std::function<void()> waker_;
};

}  // namespace quarn7::sim
