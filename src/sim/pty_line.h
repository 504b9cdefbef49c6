// The simulated unit's line on a pseudo-terminal: a thread reads what the host writes, cuts it
// into frames and writes the unit's answers byte by byte at their line time.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "sim/frame_reader.h"
#include "sim/unit.h"

namespace quarn7::sim {

class PtyLine {
public:
    // Opens the pty (and `link` to it, unless empty) and starts answering; throws
    // std::system_error, or std::runtime_error naming the process whose running unit owns `link`.
    PtyLine(Unit& unit, std::string link);
    ~PtyLine();  // stops answering and closes both ends
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& device_path() const { return device_path_; }
    // Hangs up: the host side sees the line go away (POLLHUP, EIO). Returns once it has.
    void close_line();

private:
    using Clock = std::chrono::steady_clock;

    void open_line();
    // The link belongs to the unit holding "LINK.lock" (its process id inside): another running
    // unit's link is never replaced; one left by a unit that did not end cleanly is.
    void take_link();
    void run();
    void read_line(FrameReader& reader);
    void handle(const ReceivedFrame& frame);
    // Sends `answer` starting at `start`; false when stopped or hung up on the way.
    bool send(const Unit::Answer& answer);
    void let_host_read();
    // Waits until `deadline` unless stopped or hung up (then false).
    bool wait_until(Clock::time_point deadline);
    void wake() const;
    void drain_wake() const;
    bool interrupted() const;
    void hang_up();

    Unit& unit_;
    std::string link_;
    int link_lock_ = -1;
    std::string pty_path_;
    int master_ = -1;
    int slave_ = -1;  // held open so that a host closing its end never hangs up the line
    int wake_fd_ = -1;
    std::string device_path_;
    std::atomic<bool> stopping_ = false;
    std::atomic<bool> line_open_ = true;
    std::thread thread_;
};

}  // namespace quarn7::sim
