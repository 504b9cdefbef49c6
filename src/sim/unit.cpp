#include "sim/unit.h"

#include <utility>

#include "protocol/frame.h"

namespace quarn7::sim {

namespace {

constexpr long kBaud = 19200;
constexpr long kBitsPerByte = 11;  // start, 8 data, parity, stop

}  // namespace

std::chrono::nanoseconds line_time(std::size_t bytes) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * kBitsPerByte *
                                    1'000'000'000 / kBaud);
}

Unit::Unit(UnitOptions options) : options_(std::move(options)), faults_(options_.faults) {}

FrameReader Unit::frame_reader() const {
    return FrameReader(options_.paced ? line_time(1) : std::chrono::nanoseconds::zero());
}

Unit::Answer Unit::answer(const ReceivedFrame& frame, time_point now) {
    std::lock_guard lock(mutex_);
    std::string answer;
    if (faults_.drop_first_frames > 0) {
        --faults_.drop_first_frames;
    } else if (faults_.refuse) {
        answer = wire::NAK;
    } else if (!faults_.silent) {
        answer = responder_.answer(frame.bytes);
        const bool read_reply = frame.bytes[wire::kKindAt] == wire::Read && answer[0] != wire::NAK;
        if (read_reply && faults_.truncate_replies_to >= 0 &&
            answer.size() > static_cast<std::size_t>(faults_.truncate_replies_to)) {
            answer.resize(static_cast<std::size_t>(faults_.truncate_replies_to));
        }
    }
    if (!answer.empty()) answer = faults_.garbage_prefix + answer;
    const auto extra = faults_.delay + (options_.paced ? options_.turnaround
                                                       : std::chrono::microseconds::zero());
    return {answer, (options_.paced ? frame.received : now) + extra};
}

Unit::time_point Unit::arrival(time_point start, std::size_t index) const {
    // Paced, a byte is there when its last bit would have arrived; unpaced, all at once.
    return options_.paced ? start + line_time(index + 1) : start;
}

bool Unit::finish(const ReceivedFrame& frame, const std::string& sent) {
    bool last_before_hang_up = false;
    LoggedFrame entry{frame.received, frame.bytes, sent};
    {
        std::lock_guard lock(mutex_);
        if (faults_.close_after_frames > 0) {
            last_before_hang_up = --faults_.close_after_frames == 0;
        }
        if (options_.log) log_.push_back(entry);
        changed();
    }
    if (options_.on_frame) options_.on_frame(entry);
    return last_before_hang_up;
}

void Unit::skipped(const std::string& noise) {
    if (noise.empty()) return;
    {
        std::lock_guard lock(mutex_);
        noise_ += noise;
    }
    if (options_.on_noise) options_.on_noise(std::chrono::steady_clock::now(), noise);
}

bool Unit::hang_up_due() const {
    std::lock_guard lock(mutex_);
    return hang_up_requested_ || faults_.close_after_frames == 0;
}

bool Unit::hang_up_requested() const {
    std::lock_guard lock(mutex_);
    return hang_up_requested_;
}

void Unit::request_hang_up() {
    std::lock_guard lock(mutex_);
    hang_up_requested_ = true;
    changed();
}

void Unit::line_closed() {
    std::lock_guard lock(mutex_);
    line_open_ = false;
    changed();
}

void Unit::wait_until_line_closed() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !line_open_; });
}

std::uint64_t Unit::changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

void Unit::wait_for_change(std::uint64_t seen, time_point deadline) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return changes_ != seen; });
}

void Unit::set_waker(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    waker_ = std::move(wake);
}

void Unit::changed() {
    ++changes_;
    changed_.notify_all();
    if (waker_) waker_();
}

void Unit::set_faults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    changed();
}

Faults Unit::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

std::vector<LoggedFrame> Unit::frames() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::string Unit::noise() const {
    std::lock_guard lock(mutex_);
    return noise_;
}

void Unit::clear_frames() {
    std::lock_guard lock(mutex_);
    log_.clear();
    noise_.clear();
}

UnitState Unit::state() const {
    std::lock_guard lock(mutex_);
    return responder_.state();
}

void Unit::set_tilt(std::uint16_t digital, std::uint16_t analogue) {
    std::lock_guard lock(mutex_);
    responder_.set_tilt(digital, analogue);
}

void Unit::set_item_data(int item, std::string data) {
    std::lock_guard lock(mutex_);
    responder_.set_item_data(item, std::move(data));
}

bool Unit::wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return log_.size() >= count; });
}

}  // namespace quarn7::sim
