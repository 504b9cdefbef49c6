// Small pieces shared by the command and text members (internal to the library).
#pragma once

#include <string>

#include "link/read_items.h"
#include "platform/variant.h"

namespace quarn7 {

class clsvyx7;

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
