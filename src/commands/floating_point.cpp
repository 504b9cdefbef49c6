// The unit's floating-point form: an IEEE 754 single, most significant byte first. Converted in
// memory; nothing here sends.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "platform/codepage.h"
#include "platform/conversions.h"

namespace quarn7 {

namespace {

constexpr std::size_t kFloatBytes = 4;

std::string float_bytes(float f) {
    const auto bits = std::bit_cast<std::uint32_t>(f);
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((bits >> shift) & 0xFF);
    return out;
}

float float_from_bytes(std::string_view four) {
    std::uint32_t bits = 0;
    for (const char c : four) bits = (bits << 8) | static_cast<unsigned char>(c);
    return std::bit_cast<float>(bits);
}

// Beyond the single range the form has only an infinity to offer.
float to_single(double x) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max()) {
        return x > 0 ? kInfinity : -kInfinity;
    }
    return static_cast<float>(x);
}

}  // namespace

void clsvyx7::floating_point_zetten(Variant& Waarde, Variant& opdr) {
    const Call call(*this);
    const std::string four = float_bytes(to_single(leading_number(Waarde)));
    opdr = Variant(from_cp1252(four));
    s_.lengte_laag = static_cast<std::int16_t>(four.size());
    s_.lengte_hoog = 0;
}

void clsvyx7::floating_point_lezen(Variant& Waarde) {
    const Call call(*this);
    const std::string received = require_port().Input();
    if (received.size() <= kFloatBytes) {
        if (diagnostics_on()) {
            show("Floating point not enough data: " +
                 signed_form(static_cast<double>(received.size())));
        }
        Waarde = Variant(std::int16_t{0});
        return;
    }
    // The last byte ends the unit's reply; the value is the four before it.
    const float f = float_from_bytes(
        std::string_view(received).substr(received.size() - kFloatBytes - 1, kFloatBytes));
    Waarde = Variant(host_number_text(f, true));
    if (!std::isfinite(f)) return;
    // The range test and the rounding work on the value as shown, seven digits.
    const double shown = Waarde.to_double();
    if (shown >= -1000 && shown <= 1000) Waarde = Variant(round_half_even(shown * 100) / 100);
}

}  // namespace quarn7
