// Cuts the bytes a host sends into frames, as the unit's receiver does.
//
// A frame's length follows from its kind: a do-command is 7 bytes, a read request 6, a write
// 6 + (lengte_laag + 256 * lengte_hoog). Hosts send writes whose length words do not match the data
// (a text write counting characters while the data has two bytes per character, a colour text
// longer than its one announced byte), so when the expected place does not hold CR the frame ends
// at a CR after which the line stays idle. Data may hold 0x0D bytes, so a CR alone ends nothing:
// a CR in place with more bytes behind it that do not start a frame waits for the idle line too.
// Bytes before an STX, and a start that the line leaves unfinished, are noise.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace quarn7::sim {

struct ReceivedFrame {
    std::string bytes;                               // STX to CR
    std::chrono::steady_clock::time_point received;  // when its last byte arrived
};

class FrameReader {
public:
    using time_point = std::chrono::steady_clock::time_point;

    // `byte_time`: how long one byte takes on the line; with 0 bytes count as arrived when read.
    explicit FrameReader(std::chrono::nanoseconds byte_time) : byte_time_(byte_time) {}

    // Bytes read from the line at `now`. On a paced line they arrive one after the other, each
    // `byte_time` after the one before, starting no earlier than `now`.
    void feed(std::string_view bytes, time_point now);
    // The next whole frame: at once when its length word says so, otherwise once the line has been
    // idle since its last byte until `now`.
    std::optional<ReceivedFrame> next(time_point now);
    // When the line will have been idle long enough to end what is buffered; nullopt when nothing
    // is buffered.
    std::optional<time_point> idle_deadline() const;
    // Bytes skipped since the last call.
    std::string take_noise();

    // Silence after a frame's last byte that ends a frame without its expected CR.
    static std::chrono::nanoseconds idle_gap();

private:
    std::optional<std::size_t> expected_length() const;
    ReceivedFrame take(std::size_t length);
    void skip_to_stx();

    std::chrono::nanoseconds byte_time_;
    std::string buffer_;
    std::deque<time_point> arrived_;  // one per buffered byte
    time_point line_free_{};
    std::string noise_;
};

}  // namespace quarn7::sim
