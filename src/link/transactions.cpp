// The three transactions: the only code that writes to the line.
#include <algorithm>
#include <chrono>

#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"
#include "protocol/frame.h"
#include "protocol/read_items.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;

constexpr Clock::duration kReplyWindow = 100ms;
constexpr int kAcknowledgedSends = 6;  // the first send and five repeats
constexpr int kReadSends = 3;
// The longest a read attempt waits: after the request, for the first byte, for the rest.
constexpr Clock::duration kReadAttempt = 3 * kReplyWindow;
// How often host events run while a read waits.
constexpr Clock::duration kEventSlice = 10ms;

wire::CommandWords words_of(const LinkState& s) {
    return {s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog};
}

// A read reply is complete once it holds its header, the announced data and the trailing byte.
bool reply_complete(const std::string& reply) {
    return reply.size() >= wire::kReplyMinimum &&
           reply.size() >= wire::kReplyMinimum + wire::reply_length(reply);
}

}  // namespace

void clsvyx7::voeruit1() {
    const Call call(*this);
    const auto words = words_of(s_);
    const std::string frame = wire::do_command_frame(words);
    s_.commando_frame = frame;
    acknowledged_send(frame, wire::do_command_echo(words));
}

void clsvyx7::voeruit3() {
    const Call call(*this);
    const auto words = words_of(s_);
    const std::string frame = wire::frame(words, s_.schrijf_data);
    s_.commando_frame = frame;
    acknowledged_send(frame, wire::write_echo(words, s_.schrijf_data));
}

bool clsvyx7::wait_for_reply_start(SerialPort& port, Clock::duration window) {
    const auto deadline = clock_->now() + window;
    while (port.InBufferCount() == 0) {
        const auto left = deadline - clock_->now();
        if (left <= Clock::duration::zero()) return false;
        port.wait_input(left);
    }
    return true;
}

void clsvyx7::skip_damaged_answer(SerialPort& port, Clock::time_point attempt_end) {
    // The rest of a damaged answer still comes in; it must not pass for the repeat's answer.
    clock_->sleep_until(attempt_end);
    port.Input();
}

void clsvyx7::acknowledged_send(const std::string& frame, const std::string& echo) {
    if (diagnostics_on()) show(echo);
    SerialPort& port = require_port();
    if (!port.PortOpen()) {
        last_outcome_ = Outcome::PortClosed;
        return;
    }
    // A late answer to an earlier exchange must not pass for this frame's answer.
    port.Input();
    for (int send = 0; send < kAcknowledgedSends; ++send) {
        const auto errors = port.line_errors();
        port.Output(frame);
        const auto window_end = clock_->now() + kReplyWindow;
        const bool answered = wait_for_reply_start(port, kReplyWindow);
        const std::string reply = answered ? port.Input() : std::string();
        // The unit heard the frame: a repeat could run a toggle twice. What the answer said is
        // unknown, so it is neither acknowledge nor refusal.
        if (port.line_errors() != errors) {
            skip_damaged_answer(port, window_end);
            last_outcome_ = Outcome::Damaged;
            return;
        }
        // Input a port counted but could not hand over says nothing.
        if (answered && reply.empty()) skip_damaged_answer(port, window_end);
        if (reply.empty()) continue;
        // A refusal is a refusal even when more bytes came with it.
        if (reply.front() == wire::NAK) {
            last_outcome_ = Outcome::Refused;
            if (diagnostics_on()) show("Command not accepted");
        } else {
            last_outcome_ = Outcome::Acknowledged;
        }
        return;
    }
    last_outcome_ = Outcome::NoReaction;
    if (diagnostics_on()) show("No reaction from DE");
}

void clsvyx7::wait_after_request(SerialPort& port, std::string& reply,
                                 Clock::time_point deadline) {
    for (;;) {
        if (event_pump_) {
            const ForeignCode host_code(*this);
            event_pump_();
        }
        if (fast_reads_) {
            reply += port.Input();
            if (reply_complete(reply)) return;
        }
        const auto now = clock_->now();
        if (now >= deadline) return;
        auto step = deadline - now;
        if (event_pump_) step = std::min(step, kEventSlice);
        if (fast_reads_) {
            port.wait_input(step);
        } else {
            clock_->sleep_until(now + step);
        }
    }
}

void clsvyx7::voeruit5(Variant& tekst) {
    const Call call(*this);
    s_.lengte_laag = 0;
    const auto words = words_of(s_);
    // This call's own request and item: repeats and decoding never use words a later call set.
    const std::string request = wire::read_request(words);
    const int item = words.commando_code;
    s_.commando_frame = request;
    const std::string echo = wire::read_echo(words, s_.data_tabel[0]);
    tekst = Variant(echo);
    if (diagnostics_on()) show(echo);

    SerialPort& port = require_port();
    if (!port.PortOpen()) {
        last_outcome_ = Outcome::PortClosed;
        return;
    }
    port.Input();  // stale bytes are no part of this reply
    std::string reply;
    bool send_failed = false;
    for (int send = 0; send < kReadSends && reply.size() < wire::kReplyMinimum; ++send) {
        reply.clear();
        const auto errors = port.line_errors();
        const auto attempt_end = clock_->now() + kReadAttempt;
        bool this_send_failed = false;
        try {
            port.Output(request);
        } catch (const Error& e) {
            if (e.number() == ErrorNumber::DeviceLost) throw;
            this_send_failed = send_failed = true;
        }
        wait_after_request(port, reply, clock_->now() + kReplyWindow);
        // After the wait, whatever the diagnostics flag.
        if (this_send_failed) show("Fout bij sturen commando naar DE");
        if (reply.empty()) wait_for_reply_start(port, kReplyWindow);
        reply += port.Input();
        if (reply.size() < wire::kReplyMinimum) {
            clock_->sleep_for(kReplyWindow);
            reply += port.Input();
        }
        if (port.line_errors() != errors) {
            reply.clear();
            skip_damaged_answer(port, attempt_end);
        }
    }
    if (reply.size() < wire::kReplyMinimum) {
        tekst = Variant(std::string());
        last_outcome_ = send_failed ? Outcome::SendFailed : Outcome::NoReaction;
        if (diagnostics_on()) show("No reaction from DE");
        return;
    }
    s_.lengte_laag = static_cast<unsigned char>(reply[wire::kReplyLengthLowAt]);
    s_.lengte_hoog = static_cast<unsigned char>(reply[wire::kReplyLengthHighAt]);
    last_outcome_ = Outcome::ReplyReceived;
    if (auto decoded = decode_reply(item, wire::reply_data(reply), wire::reply_length(reply))) {
        tekst = std::move(*decoded);
    }
}

}  // namespace quarn7
