// A simulated overlay unit: it reads frames as the unit does, answers ACK, NAK or a read reply
// from a state model that do-commands and writes change, paces its answers at the line speed, and
// misbehaves on request. It sits on a pseudo-terminal, or on an in-process line that a host's own
// tests open like any port:
//
//   auto unit = SimulatedUnit::Builder().build_in_process();  // or .build(): a pseudo-terminal
//   auto de = quarn7::open(unit->port());
//   ...
//   unit->set_faults({.silent = true});
//   EXPECT_EQ(unit->frames().size(), 3u);
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "quarn7/export.h"

namespace quarn7 {
class SerialPort;
}

namespace quarn7::sim {

struct Faults {
    bool silent = false;               // answer nothing
    bool refuse = false;               // NAK every frame
    std::chrono::microseconds delay{0};  // extra turnaround before every answer
    int truncate_replies_to = -1;      // cut read replies to this many bytes (-1: whole)
    std::string garbage_prefix{};      // bytes sent before every answer
    int drop_first_frames = 0;         // ignore this many frames (counted from now)
    int close_after_frames = -1;       // hang up the line after this many further frames
    friend bool operator==(const Faults&, const Faults&) = default;
};

struct LoggedFrame {
    std::chrono::steady_clock::time_point received;
    std::string bytes;   // the whole frame, STX to CR
    std::string answer;  // what the unit sent back ("" when nothing)
};

// What the unit holds. Byte strings are one byte per char.
struct UnitState {
    std::map<int, bool> switches;                    // element (the "on" code) -> shown
    std::map<int, std::string> settings;             // write code -> value bytes as written
    std::map<int, std::pair<int, int>> windows;      // window code -> (X, Y) as sent
    std::map<int, std::string> text_fields;          // field -> text (code page 1252 bytes)
    int selected_text_field = 1;
    int system_text_field = 1;
    std::int64_t counter1 = 0;  // tenths
    std::int64_t counter2 = 0;
    int photo_counter = 0;
    int video_seconds = 0;      // hh:mm:ss as seconds
    std::uint16_t digital_tilt = 0;   // hundredths of a degree, as the unit reports it
    std::uint16_t analogue_tilt = 0;
    std::string colour;               // last overlay colour text
    int resets = 0;
};

class QUARN7_API SimulatedUnit {
public:
    class Builder {
    public:
        Builder& paced(bool on);                         // default on: 19200 baud, 11 bits a byte
        Builder& turnaround(std::chrono::microseconds t);  // default 1 ms; paced answers only
        Builder& faults(Faults f);
        Builder& link(std::string path);  // also reachable at this symlink (pty only)
        Builder& log_frames(bool on);                    // default on
        // Called after each frame was handled (answered, refused, ignored).
        // Observers run on the thread that drives the line: the unit's own on a pseudo-terminal,
        // the host's (inside the port's calls) in process.
        Builder& on_frame(std::function<void(const LoggedFrame&)> observer);
        // Called with bytes skipped as noise and when they were read.
        Builder& on_noise(
            std::function<void(std::chrono::steady_clock::time_point, const std::string&)> observer);
        std::unique_ptr<SimulatedUnit> build();  // opens the pty and starts answering
        // No pseudo-terminal and no thread: the line is the port object port() gives.
        std::unique_ptr<SimulatedUnit> build_in_process();

    private:
        friend class SimulatedUnit;
        bool paced_ = true;
        std::chrono::microseconds turnaround_{1000};
        Faults faults_;
        std::string link_;
        bool log_ = true;
        std::function<void(const LoggedFrame&)> on_frame_;
        std::function<void(std::chrono::steady_clock::time_point, const std::string&)> on_noise_;
    };

    ~SimulatedUnit();  // stops answering and closes both ends of the line
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;

    const std::string& device_path() const;  // the pty (or its link); "" in process
    // The host's end of the line, closed until opened: the in-process port, or a termios port
    // bound to the pty. The same object on every call.
    std::shared_ptr<SerialPort> port();

    void set_faults(const Faults& faults);
    Faults faults() const;
    std::vector<LoggedFrame> frames() const;
    std::string noise() const;  // bytes skipped outside frames
    void clear_frames();        // and the noise
    UnitState state() const;
    void set_tilt(std::uint16_t digital, std::uint16_t analogue);
    // Replaces the data bytes the unit sends for a read item.
    void set_item_data(int item, std::string data);
    // Hangs up: the host side sees the line go away (POLLHUP, EIO; in process, DeviceLost from
    // the port's next call). Returns once it has.
    void close_line();
    // Waits until `count` frames were logged or `timeout` passed; true when they were.
    bool wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    explicit SimulatedUnit(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// "Line speed" time of `bytes` bytes at 19200 baud with 11 bits a byte.
QUARN7_API std::chrono::nanoseconds line_time(std::size_t bytes);

// Readable dump of the state (what `quarn7-sim --print-state` shows).
QUARN7_API std::string describe(const UnitState& state);

}  // namespace quarn7::sim
