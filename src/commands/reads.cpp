// Reads: fill the words, run voeruit5, and for a few items turn the decoded text into a number.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/command_helpers.h"
#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "platform/conversions.h"
#include "protocol/frame.h"
#include "protocol/read_items.h"

namespace quarn7 {

namespace {

constexpr std::int16_t kCounter1 = item_code("distance counter 1");
constexpr std::int16_t kCounter2 = item_code("distance counter 2");
constexpr std::int16_t kDigitalTilt = item_code("digital tilt");
constexpr std::int16_t kAnalogueTilt = item_code("analogue tilt");
constexpr std::int16_t kRevision = item_code("software revision");
constexpr std::int16_t kCameraConstant = item_code("camera constant");

ItemScaling scaling_of(int item) {
    const ReadItem* row = find_read_item(item);
    return row == nullptr ? ItemScaling::None : row->scaling;
}

// A fixed item through the by-number read, so that every read fills the words the one way.
Variant read_item(clsvyx7& controller, std::int16_t item) {
    Variant tekst(item);
    controller.lees_data(tekst);
    return tekst;
}

}  // namespace

double counter1_reading(const Variant& reply) {
    std::string text = reply.to_text();
    std::replace(text.begin(), text.end(), ',', '.');
    return leading_number(text) / 10;
}

double counter2_reading(const Variant& reply) {
    return leading_number(reply) / 10;
}

Variant scaled_reading(const Variant& reply, ItemScaling scaling) {
    if (scaling == ItemScaling::None || trim_spaces(reply.to_text()).empty()) return reply;
    const double v = reply.to_double();
    if (scaling == ItemScaling::Tenths) return Variant(v / 10);
    // An unsigned count of hundredths of a degree: past 90 degrees it wraps to a negative angle.
    return Variant((v >= 0 && v <= 9000 ? v : v - 65536) / 100);
}

Variant clsvyx7::lees_data(Variant& tekst) {
    const Call call(*this);
    s_.commando_soort = wire::Read;
    s_.lengte_hoog = 0;
    s_.commando_code = to_int16(leading_number(tekst));
    voeruit5(tekst);
    return {};
}

Variant clsvyx7::lees_tijd(Variant& tekst) {
    const Call call(*this);
    return lees_data(tekst);
}

Variant clsvyx7::lees_waarde(Variant& tekst) {
    const Call call(*this);
    lees_data(tekst);
    if (reply_received()) tekst = scaled_reading(tekst, scaling_of(s_.commando_code));
    return {};
}

Variant clsvyx7::afstand() {
    const Call call(*this);
    const Variant reply = read_item(*this, kCounter1);
    return Variant(reply_received() ? counter1_reading(reply) : 0.0);
}

Variant clsvyx7::afstand2() {
    const Call call(*this);
    const Variant reply = read_item(*this, kCounter2);
    return Variant(reply_received() ? counter2_reading(reply) : 0.0);
}

Variant clsvyx7::tilt(std::int16_t item) {
    const Variant reply = read_item(*this, item);
    return reply_received() ? scaled_reading(reply, scaling_of(item)) : Variant(std::string());
}

Variant clsvyx7::helling_instant() {
    const Call call(*this);
    return tilt(kDigitalTilt);
}

Variant clsvyx7::helling_instant_ana() {
    const Call call(*this);
    return tilt(kAnalogueTilt);
}

Variant clsvyx7::revisie(Variant& tekst) {
    const Call call(*this);
    tekst = read_item(*this, kRevision);
    return {};
}

Variant clsvyx7::constante_zelmar5(Variant& tekst) {
    const Call call(*this);
    tekst = read_item(*this, kCameraConstant);
    return {};
}

}  // namespace quarn7
