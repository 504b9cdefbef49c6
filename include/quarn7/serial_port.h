// The serial port object the controller drives: the seven properties of a serial-port control,
// plus what a blocking wait and a byte trace need. Byte strings hold one byte per char.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "quarn7/clock.h"
#include "quarn7/export.h"
#include "quarn7/variant.h"

namespace quarn7 {

struct TraceEvent {
    enum class Direction { Out, In };
    Clock::time_point time;
    Direction direction;
    std::string bytes;
};
using TraceSink = std::function<void(const TraceEvent&)>;

// Non-virtual public properties over a small virtual core (the base checks and traces; the
// platform class does the I/O).
class QUARN7_API SerialPort : public Object {
public:
    bool PortOpen() const { return is_open(); }
    void PortOpen(bool open);
    std::int16_t CommPort() const { return comm_port_; }
    void CommPort(std::int16_t number);  // PortAlreadyOpen while open
    const std::string& Settings() const { return settings_; }
    void Settings(const std::string& settings);  // "19200,o,8,1"; InvalidPropertyValue if malformed
    int Handshaking() const { return handshaking_; }
    void Handshaking(int mode);  // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both
    void Output(std::string_view bytes);  // PortNotOpen while closed
    int InBufferCount();                  // PortNotOpen while closed
    std::string Input();                  // all waiting bytes, removed; "" when none

    // Blocks until at least one received byte waits or `timeout` has passed; true when input
    // waits. Never spins.
    bool wait_input(Clock::duration timeout);

    // Bytes received with a parity or framing error (or a break) since the port object was made.
    // Such bytes are dropped from the input: a transaction during which this grew had its answer
    // damaged on the line.
    std::uint64_t line_errors() const { return line_errors_; }

    // What the operator knows the line by: a device path where the port has one, else
    // "port N" (CommPort).
    virtual std::string line_name() const;

    void set_trace(TraceSink sink) { trace_ = std::move(sink); }
    // The clock that stamps trace events (the controller hands in its own).
    void set_trace_clock(Clock& clock) { trace_clock_ = &clock; }

protected:
    virtual bool is_open() const = 0;
    virtual void open_port() = 0;  // with comm_port(), settings(), handshaking()
    virtual void close_port() = 0;
    virtual void write_bytes(std::string_view bytes) = 0;
    virtual int bytes_waiting() = 0;
    virtual std::string read_waiting() = 0;
    virtual bool wait_readable(Clock::duration timeout) = 0;

    std::int16_t comm_port() const { return comm_port_; }
    const std::string& settings() const { return settings_; }
    int handshaking() const { return handshaking_; }
    // The platform class reports each damaged byte it drops.
    void note_line_error(std::uint64_t count = 1) { line_errors_ += count; }

private:
    void require_open() const;
    void trace(TraceEvent::Direction direction, std::string_view bytes);

    std::int16_t comm_port_ = 1;
    std::string settings_ = "9600,n,8,1";
    int handshaking_ = 0;
    TraceSink trace_;
    Clock* trace_clock_ = &steady_clock();
    std::atomic<std::uint64_t> line_errors_ = 0;
};

// Parsed "baud,parity,data,stop"; nullopt-like `valid == false` when malformed.
struct LineSettings {
    bool valid = false;
    int baud = 0;
    char parity = 'n';  // n, o, e, m, s
    int data_bits = 8;
    int stop_bits = 1;  // 1 or 2 (1.5 is read as 2)
};
QUARN7_API LineSettings parse_line_settings(std::string_view text);

// Input as a tty marks it with PARMRK: a byte received with a parity or framing error comes as
// FF 00 x, a break as FF 00 00, and a good FF byte doubled as FF FF.
struct UnmarkedInput {
    std::string bytes;          // the good bytes, FF undoubled
    std::uint64_t damaged = 0;  // marked bytes and breaks, dropped
    std::size_t used = 0;       // input taken; the rest is a mark cut short by the read
};
QUARN7_API UnmarkedInput unmark_line_errors(std::string_view marked);

}  // namespace quarn7
