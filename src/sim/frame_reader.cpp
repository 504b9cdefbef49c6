#include "sim/frame_reader.h"

#include <algorithm>
#include <utility>

#include "protocol/frame.h"
#include "quarn7/simulated_unit.h"

namespace quarn7::sim {

namespace {

std::size_t byte_at(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

}  // namespace

std::chrono::nanoseconds FrameReader::idle_gap() {
    return line_time(4);
}

void FrameReader::feed(std::string_view bytes, time_point now) {
    time_point at = std::max(line_free_, now);
    for (const char c : bytes) {
        at += byte_time_;
        buffer_ += c;
        arrived_.push_back(at);
    }
    line_free_ = at;
    skip_to_stx();
}

std::optional<ReceivedFrame> FrameReader::next(time_point now) {
    if (buffer_.empty()) return std::nullopt;
    const auto length = expected_length();
    const bool cr_in_place =
        length && buffer_.size() >= *length && buffer_[*length - 1] == wire::CR;
    // More bytes right behind that CR that do not start a frame: the CR was data and the length
    // words undercount (a text write counting characters).
    if (cr_in_place && (buffer_.size() == *length || buffer_[*length] == wire::STX)) {
        return take(*length);
    }
    if (now < arrived_.back() + idle_gap()) return std::nullopt;
    if (buffer_.size() >= wire::kShortestFrame && buffer_.back() == wire::CR)
        return take(buffer_.size());
    if (cr_in_place) return take(*length);
    noise_ += buffer_;
    buffer_.clear();
    arrived_.clear();
    return std::nullopt;
}

std::optional<FrameReader::time_point> FrameReader::idle_deadline() const {
    if (buffer_.empty()) return std::nullopt;
    return arrived_.back() + idle_gap();
}

std::string FrameReader::take_noise() {
    return std::exchange(noise_, {});
}

std::optional<std::size_t> FrameReader::expected_length() const {
    if (buffer_.size() <= wire::kCodeAt) return std::nullopt;
    switch (byte_at(buffer_, wire::kKindAt)) {
        case wire::DoCommand:
            return wire::kShortestFrame + 1;
        case wire::Read:
            return wire::kShortestFrame;
        case wire::Write:
            return wire::kShortestFrame + byte_at(buffer_, wire::kLengthLowAt) +
                   256 * byte_at(buffer_, wire::kLengthHighAt);
        default:
            return std::nullopt;
    }
}

ReceivedFrame FrameReader::take(std::size_t length) {
    ReceivedFrame frame{buffer_.substr(0, length), arrived_[length - 1]};
    buffer_.erase(0, length);
    arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(length));
    skip_to_stx();
    return frame;
}

void FrameReader::skip_to_stx() {
    const std::size_t start = std::min(buffer_.find(wire::STX), buffer_.size());
    noise_ += buffer_.substr(0, start);
    buffer_.erase(0, start);
    arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(start));
}

}  // namespace quarn7::sim
