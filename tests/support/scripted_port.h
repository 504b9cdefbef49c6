// An in-memory serial port on a fake clock: it records what the controller writes and delivers
// scripted answers at exact times, so frame, repeat and window logic can be checked exactly; and a
// controller wired to it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"
#include "quarn7/serial_port.h"
#include "sim/hex.h"

namespace quarn7::testing {

using namespace std::chrono_literals;

// A clock that only moves when told to: sleeping advances it at once.
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


// Bytes that reach the receive buffer `after` the frame that caused them was written. Damaged
// bytes came with a parity or framing error: the port drops them and counts a line error each.
struct Chunk {
    Clock::duration after;
    std::string bytes;
    bool damaged = false;
};
inline Chunk damaged(Clock::duration after, std::string bytes) {
    return {after, std::move(bytes), true};
}
using Answer = std::vector<Chunk>;

// Byte strings from hex and back: bytes("02 01 00 00 26 00 0D"), hex(frame).
inline std::string bytes(std::string_view hex) { return sim::parse_hex(hex).value(); }
inline std::string hex(std::string_view bytes) { return sim::hex_dump(bytes); }

// What a call raised, for tests that expect an error (or none), and just its number.
template <class Call>
std::optional<Error> raised(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}
template <class Call>
std::optional<ErrorNumber> error_of(Call&& call) {
    const auto e = raised(std::forward<Call>(call));
    return e ? std::optional(e->number()) : std::nullopt;
}

// A read reply carrying `data`: two leading bytes, the data length low and high, the data, CR.
inline std::string reply_with(std::string_view data) {
    const auto n = static_cast<unsigned>(data.size());
    return std::string{'\x06', '\x02', static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)} +
           std::string(data) + "\r";
}

// The unit as most tests want it: ACK 1 ms after every do-command and write; a reply 1 ms after
// every read request, carrying `data(item)` (by default zero bytes, as many as the item has).
using Respond = std::function<Answer(const std::string& frame)>;
Respond answer_every_frame(std::function<std::string(int item)> data = {});

class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(FakeClock& clock) : clock_(clock) {}

    struct Written {
        Clock::time_point at;
        std::string bytes;
    };

    // Queues the answer to the next written frame (frames beyond the queue get `respond`'s
    // answer, or none).
    void answer(Answer answer) { answers_.push_back(std::move(answer)); }
    void answer_with(Respond respond) { respond_ = std::move(respond); }
    // Bytes already waiting in the receive buffer.
    void inject(std::string bytes) { buffer_ += bytes; }
    // Bytes arriving at a moment of the fake clock, whatever is written.
    void arrive(Clock::duration from_now, std::string bytes, bool damaged = false);
    void fail_writes(int count, ErrorNumber number = ErrorNumber::PortIo) {
        failing_writes_ = count;
        write_error_ = number;
    }
    void refuse_open(std::optional<ErrorNumber> number) { refuse_open_ = number; }
    // The next port operation raises DeviceLost and leaves the port closed, as an unplugged
    // adapter does.
    void lose_device() { lost_ = true; }

    const std::vector<Written>& writes() const { return writes_; }
    std::vector<std::string> frames() const;  // just the bytes of each write
    int opens() const { return opens_; }
    int closes() const { return closes_; }
    std::string opened_settings() const { return opened_settings_; }
    int opened_handshaking() const { return opened_handshaking_; }
    std::int16_t opened_port() const { return opened_port_; }

protected:
    bool is_open() const override { return open_; }
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    bool wait_readable(Clock::duration timeout) override;

private:
    void deliver_due();
    void check_lost();

    FakeClock& clock_;
    bool open_ = false;
    bool lost_ = false;
    std::string buffer_;
    struct Arrival {
        Clock::time_point at;
        std::string bytes;
        bool damaged;
    };
    std::vector<Arrival> pending_;  // sorted by time
    std::deque<Answer> answers_;
    Respond respond_;
    std::vector<Written> writes_;
    int failing_writes_ = 0;
    ErrorNumber write_error_ = ErrorNumber::PortIo;
    std::optional<ErrorNumber> refuse_open_;
    int opens_ = 0;
    int closes_ = 0;
    std::string opened_settings_;
    int opened_handshaking_ = -1;
    std::int16_t opened_port_ = 0;
};

// A controller wired to a scripted port on a fake clock, with its message boxes recorded.
struct Controller {
    Controller() {
        de->set_clock(clock);
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
    }

    void open() { switch_port(true); }
    void close() { switch_port(false); }
    void switch_port(bool on) {
        Variant v(on);
        de->OpenClose(v);
    }
    void diagnostics_on() { if (de->state().meldingen_aan != -1) de->meldingen(); }
    // lees_data of `item`: the decoded reply, or what the read left in its argument.
    Variant read_item(int item) {
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_data(tekst);
        return tekst;
    }
    std::vector<Clock::duration> send_times() const {
        std::vector<Clock::duration> out;
        for (const auto& w : port->writes()) out.push_back(w.at.time_since_epoch());
        return out;
    }

    FakeClock clock;
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

class ControllerTest : public ::testing::Test, protected Controller {};

}  // namespace quarn7::testing
