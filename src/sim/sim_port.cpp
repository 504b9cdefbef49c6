#include "sim/sim_port.h"

#include <algorithm>
#include <chrono>

#include "quarn7/error.h"

namespace quarn7::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

SimPort::SimPort(std::shared_ptr<Unit> unit)
    : unit_(std::move(unit)), reader_(unit_->frame_reader()) {}

void SimPort::open_port() {
    if (lost_) throw Error(ErrorNumber::NoSuchDevice, "The simulated line was hung up");
    incoming_.clear();  // as a tty's open flushes what waited
    open_ = true;
}

void SimPort::close_port() {
    open_ = false;
}

void SimPort::write_bytes(std::string_view bytes) {
    check_line();
    reader_.feed(bytes, SteadyClock::now());
    advance();
}

int SimPort::bytes_waiting() {
    advance();
    check_line();
    return static_cast<int>(arrived());
}

std::string SimPort::read_waiting() {
    advance();
    check_line();
    std::string bytes;
    for (std::size_t n = arrived(); n > 0; --n) {
        bytes += incoming_.front().second;
        incoming_.pop_front();
    }
    return bytes;
}

bool SimPort::wait_readable(Clock::duration timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto seen = unit_->changes();
        advance();
        check_line();
        if (arrived() > 0) return true;
        const auto now = SteadyClock::now();
        if (now >= deadline) return false;
        // Sleep until the next thing that can happen on the line: a byte arriving, the line
        // falling idle behind a frame without its CR, or a change the unit is told of.
        auto next = deadline;
        if (!incoming_.empty()) next = std::min(next, incoming_.front().first);
        if (const auto idle = reader_.idle_deadline()) next = std::min(next, *idle);
        unit_->wait_for_change(seen, next);
    }
}

void SimPort::advance() {
    while (!lost_ && !unit_->hang_up_due()) {
        const auto frame = reader_.next(SteadyClock::now());
        unit_->skipped(reader_.take_noise());
        if (!frame) return;
        const Unit::Answer answer = unit_->answer(*frame, SteadyClock::now());
        for (std::size_t i = 0; i < answer.bytes.size(); ++i) {
            incoming_.emplace_back(unit_->arrival(answer.start, i), answer.bytes[i]);
        }
        if (unit_->finish(*frame, answer.bytes)) hang_up_after_answer_ = !answer.bytes.empty();
    }
}

std::size_t SimPort::arrived() const {
    const auto now = SteadyClock::now();
    const auto end = std::find_if(incoming_.begin(), incoming_.end(),
                                  [now](const auto& byte) { return byte.first > now; });
    return static_cast<std::size_t>(end - incoming_.begin());
}

void SimPort::check_line() {
    if (lost_) return;
    // The answer before a hang-up is left for the host to take first.
    if (!unit_->hang_up_due() || (hang_up_after_answer_ && !incoming_.empty())) return;
    lost_ = true;
    incoming_.clear();
    reader_ = unit_->frame_reader();
    unit_->line_closed();
    open_ = false;
    throw Error(ErrorNumber::DeviceLost, "The simulated line was hung up");
}

}  // namespace quarn7::sim
