// The simulated unit's line in memory: a port object whose other end is the unit itself, with no
// pseudo-terminal and no thread. The unit's answers become readable when they have crossed the
// line; waits block on the unit's condition variable until then (or until its faults change).
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "quarn7/serial_port.h"
#include "sim/frame_reader.h"
#include "sim/unit.h"

namespace quarn7::sim {

class SimPort : public SerialPort {
public:
    explicit SimPort(std::shared_ptr<Unit> unit);

protected:
    bool is_open() const override { return open_; }
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    bool wait_readable(Clock::duration timeout) override;

private:
    using time_point = Unit::time_point;

    // Lets the unit take every frame that is complete by now and queue its answer.
    void advance();
    // How many queued bytes have reached this end by now.
    std::size_t arrived() const;
    // A hung-up line closes the port and raises DeviceLost, as a device that went away does.
    void check_line();

    std::shared_ptr<Unit> unit_;
    FrameReader reader_;
    std::deque<std::pair<time_point, char>> incoming_;  // the unit's answers, by arrival time
    bool open_ = false;
    bool lost_ = false;
    bool hang_up_after_answer_ = false;
};

}  // namespace quarn7::sim
