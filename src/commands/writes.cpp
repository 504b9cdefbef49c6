// Value writes: each converts its argument into the value bytes, fills the words and runs
// voeruit3. A conversion that fails ends the member before anything is sent.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/command_helpers.h"
#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "platform/codepage.h"
#include "platform/conversions.h"
#include "protocol/frame.h"
#include "protocol/write_codes.h"

namespace quarn7 {

namespace {

// A distance counter in tenths, least significant byte first. The top byte weighs 2^32, as on the
// unit's read side; it is 0 for every value that fits the other three.
std::string counter_bytes(double x) {
    constexpr double k2e32 = 4294967296.0;
    const double b3 = std::floor(x / k2e32);
    const double b2 = std::floor((x - b3 * k2e32) / 65536);
    const double b1 = std::floor((x - b3 * k2e32 - b2 * 65536) / 256);
    const double b0 = x - b3 * k2e32 - b2 * 65536 - b1 * 256;
    return {to_byte(b0), to_byte(b1), to_byte(b2), to_byte(b3)};
}

}  // namespace

std::string low_high_bytes(clsvyx7& controller, const Variant& value) {
    Variant waarde = value;
    Variant hoog;
    Variant laag;
    controller.hooglaag(waarde, hoog, laag);
    return {to_byte(laag), to_byte(hoog)};
}

void clsvyx7::hooglaag(Variant& Waarde, Variant& hoog, Variant& laag) {
    const Call call(*this);
    const double w = Waarde.to_double();
    const double high = std::floor(w / 256);
    hoog = Variant(high);
    laag = Variant(w - 256 * high);
}

void clsvyx7::overlay_wit_zwart_wissel(Variant& kleur) {
    const Call call(*this);
    const double colour = leading_number(kleur);
    kleur = Variant(colour);
    set_command_words(s_, wire::Write, write_code("overlay colour"), 1);
    // The unit takes the colour as its decimal characters, not as a byte with that value.
    s_.schrijf_data = plain_form(colour);
    voeruit3();
}

void clsvyx7::afstand(Variant& value) {
    const Call call(*this);
    set_command_words(s_, wire::Write, write_code("distance counter 1"), 4);
    const std::int16_t tenths = to_int16(value.to_double() * 10);
    value = Variant(tenths);
    s_.schrijf_data = counter_bytes(tenths);
    voeruit3();
}

void clsvyx7::afstand2(Variant& value) {
    const Call call(*this);
    set_command_words(s_, wire::Write, write_code("distance counter 2"), 4);
    // No 16-bit limit here: the product goes out as it is, up to 2^24 tenths.
    const double tenths = value.to_double() * 10;
    value = Variant(tenths);
    s_.schrijf_data = counter_bytes(tenths);
    voeruit3();
}

// The words are stored step by step between the conversions: those stored before a conversion
// fails stay stored.
void clsvyx7::foto_nummer(Variant& Waarde) {
    const Call call(*this);
    Variant hoog;
    Variant laag;
    hooglaag(Waarde, hoog, laag);
    set_command_words(s_, wire::Write, write_code("photo counter"), 2);
    s_.schrijf_data = {to_byte(laag), to_byte(hoog)};
    voeruit3();
}

void clsvyx7::schrijf_2byte_waarde(Variant& tekst) {
    const Call call(*this);
    s_.commando_soort = wire::Write;
    s_.lengte_hoog = 0;
    const auto fields = split(tekst.to_text(), '|');
    s_.commando_code = Variant(field(fields, 1)).to_integer();
    Variant waarde(fields[0]);
    Variant hoog;
    Variant laag;
    hooglaag(waarde, hoog, laag);
    s_.lengte_laag = 2;
    s_.schrijf_data = {to_byte(laag), to_byte(hoog)};
    voeruit3();
}

void clsvyx7::schrijf_commando(Variant& tekst) {
    const Call call(*this);
    s_.commando_soort = wire::Write;
    s_.lengte_hoog = 0;
    s_.lengte_laag = 1;
    const auto fields = split(tekst.to_text(), '|');
    s_.commando_code = Variant(field(fields, 1)).to_integer();
    s_.schrijf_data = std::string(1, to_byte(Variant(fields[0])));
    voeruit3();
}

// As schrijf_commando, but the code is the leading number of its field, so "73abc" is 73 here.
void clsvyx7::waarde_schrijven(Variant& tekst) {
    const Call call(*this);
    const auto fields = split(tekst.to_text(), '|');
    set_command_words(s_, wire::Write, to_int16(leading_number(field(fields, 1))), 1);
    s_.schrijf_data = std::string(1, to_byte(Variant(fields[0])));
    voeruit3();
}

void clsvyx7::write_setting(std::uint8_t code, const Variant& value) {
    const Call call(*this);
    set_command_words(s_, wire::Write, code, 1);
    s_.schrijf_data = std::string(1, to_byte(value));
    voeruit3();
}

void clsvyx7::eenheid_lc1(Variant& Waarde) { write_setting(write_code("unit of LC counter 1"), Waarde); }

void clsvyx7::eenheid_lc2(Variant& Waarde) { write_setting(write_code("unit of LC counter 2"), Waarde); }

void clsvyx7::factor_lc1(Variant& Waarde) { write_setting(write_code("factor of LC counter 1"), Waarde); }

void clsvyx7::factor_lc2(Variant& Waarde) { write_setting(write_code("factor of LC counter 2"), Waarde); }

void clsvyx7::eenheid_temperatuur(Variant& Waarde) { write_setting(write_code("temperature unit"), Waarde); }

// "hh:mm|dd-mm-yyyy"; a seconds field after the minutes is ignored.
void clsvyx7::tijd(Variant& value) {
    const Call call(*this);
    const auto parts = split(value.to_text(), '|');
    const auto time = split(field(parts, 0), ':');
    const auto date = split(field(parts, 1), '-');
    const Variant minute(field(time, 1));
    const Variant hour(time[0]);
    const Variant day(field(date, 0));
    const Variant month(field(date, 1));
    Variant year(field(date, 2));
    // The unit counts years from 2000; a two-digit year is taken as it stands.
    if (leading_number(year) >= 2000) year = Variant(year.to_double() - 2000);
    set_command_words(s_, wire::Write, write_code("clock and date"), 5);
    // Each field read in the host number format; outside 0..255, however far, InvalidArgument.
    s_.schrijf_data = {to_byte(minute), to_byte(hour), to_byte(day), to_byte(month),
                       to_byte(year)};
    voeruit3();
}

// Read by position as hh:mm:ss: "1:2:3" gives the pieces "1:", ":3" and "".
void clsvyx7::videoteller(Variant& tekst) {
    const Call call(*this);
    set_command_words(s_, wire::Write, write_code("video counter"), 3);
    const std::string text = to_cp1252(tekst.to_text());  // one byte a character
    const auto piece = [&](std::size_t from) {
        return leading_number(std::string_view(text).substr(std::min(from, text.size()), 2));
    };
    s_.schrijf_data = {to_byte(piece(6)), to_byte(piece(3)), to_byte(piece(0))};
    voeruit3();
}

}  // namespace quarn7
