#include "sim/hex.h"

namespace quarn7::sim {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string hex_dump(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

std::optional<std::string> parse_hex(std::string_view text) {
    std::string out;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ':') {
            if (high >= 0) return std::nullopt;
            continue;
        }
        const int value = digit_value(c);
        if (value < 0) return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            out += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return out;
}

}  // namespace quarn7::sim
