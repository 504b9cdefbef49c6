// Small pieces shared by the command and text members (internal to the library).
#pragma once

#include <cstdint>
#include <string>

#include "quarn7/clsvyx7.h"
#include "quarn7/variant.h"
#include "protocol/frame.h"
#include "protocol/read_items.h"

namespace quarn7 {

// All four command words at once, so nothing of an earlier command rides along.
inline void set_command_words(LinkState& s, wire::Kind kind, std::int16_t code,
                              std::int16_t lengte_laag, std::int16_t lengte_hoog = 0) {
    s.commando_code = code;
    s.commando_soort = kind;
    s.lengte_laag = lengte_laag;
    s.lengte_hoog = lengte_hoog;
}

// `value` split by the controller's hooglaag and sent as every 16-bit field is: byte(laag),
// then byte(hoog).
std::string low_high_bytes(clsvyx7& controller, const Variant& value);

// What afstand makes of its reply: a decimal comma counts as a point; the unit counts tenths.
double counter1_reading(const Variant& reply);
// What afstand2 makes of its reply: the leading number (a comma ends it), in tenths.
double counter2_reading(const Variant& reply);
// A decoded reply scaled as its item asks; a reply that is empty after trimming stays as it came,
// and a non-numeric one raises TypeMismatch.
Variant scaled_reading(const Variant& reply, ItemScaling scaling);

}  // namespace quarn7
