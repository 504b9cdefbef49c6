#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace quarn7 {

namespace {

// Characters of bytes 0x80..0x9F; the rest of the page equals Latin-1. The five bytes the page
// leaves undefined stand for the control character of the same number.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char32_t character_of(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

constexpr char kUnknown = '?';

char byte_of(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    const auto it = std::find(kHighControls.begin(), kHighControls.end(), c);
    if (it == kHighControls.end()) return kUnknown;
    return static_cast<char>(0x80 + std::distance(kHighControls.begin(), it));
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool is_continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// One character decoded from the front of `text`, or nothing when the bytes there are not valid
// UTF-8; `used` is how many bytes the character (or the broken sequence) takes.
struct Decoded {
    bool valid;
    char32_t character;
    std::size_t used;
};
Decoded decode_one(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return {true, lead, 1};
    // Sequence length, the lead byte's payload and the smallest character that needs the length
    // (anything below is an overlong form).
    struct Form {
        std::size_t length;
        char32_t payload;
        char32_t minimum;
    };
    Form form{};
    if (lead >= 0xC2 && lead <= 0xDF) {
        form = {2, lead & 0x1Fu, 0x80};
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        form = {3, lead & 0x0Fu, 0x800};
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        form = {4, lead & 0x07u, 0x10000};
    } else {
        return {false, 0, 1};
    }
    const std::size_t length = form.length;
    char32_t c = form.payload;
    std::size_t i = 1;
    for (; i < length; ++i) {
        if (i >= text.size() || !is_continuation(static_cast<unsigned char>(text[i]))) {
            return {false, 0, i};  // a broken sequence counts as one unknown character
        }
        c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    const bool valid = c >= form.minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    return {valid, c, length};
}

}  // namespace

std::string to_cp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const Decoded d = decode_one(utf8);
        out += d.valid ? byte_of(d.character) : kUnknown;
        utf8.remove_prefix(d.used);
    }
    return out;
}

std::string from_cp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char b : bytes) append_utf8(out, character_of(static_cast<unsigned char>(b)));
    return out;
}

}  // namespace quarn7
