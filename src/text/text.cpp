// Text fields, the system text line and window placement. Texts go out as one little-endian
// 16-bit unit per character: its code page byte, then 0.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "commands/command_helpers.h"
#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "platform/codepage.h"
#include "platform/conversions.h"
#include "protocol/frame.h"
#include "protocol/write_codes.h"

namespace quarn7 {

namespace {

constexpr std::int16_t kSelectTextField = write_code("text field to write");
constexpr std::int16_t kTextField = write_code("text for the selected field");
constexpr std::int16_t kSystemTextField = write_code("system text field");

// Window positions go out as 15 times the grid position the caller gives.
constexpr double kWindowScale = 15;

std::string text_units(std::string_view bytes) {
    std::string units;
    for (const char c : bytes) {
        units += c;
        units += to_byte(0.0);
    }
    return units;
}

// lengte_laag and lengte_hoog for `count`, split by hooglaag.
std::pair<std::int16_t, std::int16_t> length_words(clsvyx7& controller, std::size_t count) {
    Variant waarde(static_cast<double>(count));
    Variant hoog;
    Variant laag;
    controller.hooglaag(waarde, hoog, laag);
    return {laag.to_integer(), hoog.to_integer()};
}

}  // namespace

void clsvyx7::kies_systeemtekstveld(Variant& value) {
    const Call call(*this);
    set_command_words(s_, wire::Write, kSystemTextField, 1);
    s_.schrijf_data = std::string(1, to_byte(value));
    voeruit3();
}

void clsvyx7::schrijf_systeemtekstveld(Variant& value) {
    const Call call(*this);
    Variant system_field(std::int16_t{1});
    kies_systeemtekstveld(system_field);
    schrijf_tekst_veld(value);
}

// The text goes out as it stands: blanks around it too, nothing added or cut.
void clsvyx7::schrijf_tekst_veld(Variant& value) {
    const Call call(*this);
    const std::string bytes = to_cp1252(value.to_text());
    const auto [laag, hoog] = length_words(*this, 2 * bytes.size());
    set_command_words(s_, wire::Write, kTextField, laag, hoog);
    s_.schrijf_data = text_units(bytes);
    voeruit3();
}

// Unlike the other text writers, the length words carry the number of characters, not of bytes.
void clsvyx7::ZetTekst(Variant& tekst, Variant& veld) {
    const Call call(*this);
    tekst = Variant(trim_spaces(tekst.to_text()));
    const std::string bytes = to_cp1252(tekst.to_text());
    const auto [laag, hoog] = length_words(*this, bytes.size());
    set_command_words(s_, wire::Write, to_int16(leading_number(veld)), laag, hoog);
    s_.schrijf_data = text_units(bytes);
    voeruit3();
}

// `y` belongs to the interface and selects nothing.
void clsvyx7::zettekst_x_y(Variant& x, Variant& /*y*/, Variant& tekst) {
    const Call call(*this);
    if (leading_number(x) < 1) x = Variant(std::int16_t{1});
    if (leading_number(x) > 16) x = Variant(std::int16_t{16});
    Variant select(trim_spaces(x.to_text()) + "|" + std::to_string(kSelectTextField));
    waarde_schrijven(select);
    schrijf_tekst_veld(tekst);
}

// "X|Y|code" in grid units; further fields are ignored.
void clsvyx7::venster_zetten(Variant& value) {
    const Call call(*this);
    const auto fields = split(value.to_text(), '|');
    const double x = std::max(Variant(field(fields, 0)).to_double() * kWindowScale, 0.0);
    const double y = std::max(Variant(field(fields, 1)).to_double() * kWindowScale, 0.0);
    set_command_words(s_, wire::Write, to_int16(leading_number(field(fields, 2))), 4);
    s_.schrijf_data = low_high_bytes(*this, Variant(x)) + low_high_bytes(*this, Variant(y));
    voeruit3();
}

}  // namespace quarn7
