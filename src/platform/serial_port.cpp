#include "quarn7/serial_port.h"

#include <algorithm>
#include <cctype>

#include "platform/conversions.h"
#include "quarn7/error.h"

namespace quarn7 {

void SerialPort::PortOpen(bool open) {
    if (open) {
        if (is_open()) throw Error(ErrorNumber::PortAlreadyOpen);
        open_port();
    } else if (is_open()) {
        close_port();
    }
}

std::string SerialPort::line_name() const {
    return "port " + std::to_string(comm_port_);
}

void SerialPort::CommPort(std::int16_t number) {
    if (is_open()) throw Error(ErrorNumber::PortAlreadyOpen);
    if (number < 1) throw Error(ErrorNumber::InvalidPropertyValue);
    comm_port_ = number;
}

void SerialPort::Settings(const std::string& settings) {
    if (!parse_line_settings(settings).valid) throw Error(ErrorNumber::InvalidPropertyValue);
    settings_ = settings;
}

void SerialPort::Handshaking(int mode) {
    if (mode < 0 || mode > 3) throw Error(ErrorNumber::InvalidPropertyValue);
    handshaking_ = mode;
}

void SerialPort::Output(std::string_view bytes) {
    require_open();
    // Traced first, so a write that fails still shows what was attempted.
    trace(TraceEvent::Direction::Out, bytes);
    write_bytes(bytes);
}

int SerialPort::InBufferCount() {
    require_open();
    return bytes_waiting();
}

std::string SerialPort::Input() {
    require_open();
    std::string bytes = read_waiting();
    if (!bytes.empty()) trace(TraceEvent::Direction::In, bytes);
    return bytes;
}

bool SerialPort::wait_input(Clock::duration timeout) {
    require_open();
    return wait_readable(timeout);
}

void SerialPort::require_open() const {
    if (!is_open()) throw Error(ErrorNumber::PortNotOpen);
}

void SerialPort::trace(TraceEvent::Direction direction, std::string_view bytes) {
    if (trace_) trace_(TraceEvent{trace_clock_->now(), direction, std::string(bytes)});
}

namespace {

// A whole number of digits only, at most `max_digits` long; -1 otherwise.
int whole_number(std::string_view text, std::size_t max_digits) {
    if (text.empty() || text.size() > max_digits) return -1;
    if (!std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; })) return -1;
    return std::stoi(std::string(text));
}

}  // namespace

LineSettings parse_line_settings(std::string_view text) {
    const auto fields = split(text, ',');
    if (fields.size() != 4) return {};
    LineSettings s;
    s.baud = whole_number(trim_spaces(fields[0]), 9);
    if (s.baud <= 0) return {};

    const std::string parity = trim_spaces(fields[1]);
    if (parity.size() != 1) return {};
    s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(parity[0])));
    if (std::string_view("noems").find(s.parity) == std::string_view::npos) return {};

    s.data_bits = whole_number(trim_spaces(fields[2]), 1);
    if (s.data_bits < 5 || s.data_bits > 8) return {};

    const std::string stop = trim_spaces(fields[3]);
    if (stop == "1") {
        s.stop_bits = 1;
    } else if (stop == "1.5" || stop == "2") {
        s.stop_bits = 2;
    } else {
        return {};
    }
    s.valid = true;
    return s;
}

UnmarkedInput unmark_line_errors(std::string_view marked) {
    constexpr char kMark = '\xFF';
    UnmarkedInput out;
    std::size_t i = 0;
    while (i < marked.size()) {
        if (marked[i] != kMark) {
            out.bytes += marked[i++];
            continue;
        }
        if (i + 1 == marked.size()) break;
        if (marked[i + 1] == kMark) {
            out.bytes += kMark;
            i += 2;
            continue;
        }
        // FF 00 x: x (0 for a break) came with an error. Anything else after FF cannot come from
        // the driver; it is taken as it stands.
        if (marked[i + 1] != '\0') {
            out.bytes += marked[i++];
            continue;
        }
        if (i + 2 == marked.size()) break;
        ++out.damaged;
        i += 3;
    }
    out.used = i;
    return out;
}

}  // namespace quarn7
