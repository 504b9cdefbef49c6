// The shared number and text helpers of the controller's members.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quarn7/variant.h"

namespace quarn7 {

// The separator the environment's LC_NUMERIC asks for, read now; a locale that is not installed
// is judged by its language (nl, de, fr, ... use ',').
char environment_decimal_separator();

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double round_half_even(double x);
std::int16_t to_int16(double x);  // rounded; Overflow outside -32768..32767
std::int32_t to_int32(double x);  // rounded; Overflow outside the 32-bit range

// Text in the host number format, blanks around allowed; TypeMismatch when it is no number.
double parse_host_number(std::string_view text);

// byte(n): n made whole (halves to even); InvalidArgument outside 0..255.
char to_byte(double n);
char to_byte(const Variant& n);

// Plain form: the signed form (quarn7/variant.h) without the leading blank.
std::string plain_form(double x, bool single = false);

// The Variant as text, then leading_number (quarn7/variant.h); a number's text with '.', so that
// it keeps its fraction under a decimal comma. A template so that a text argument never turns
// into a Variant (which would make the call ambiguous).
template <std::same_as<Variant> V>
double leading_number(const V& value) {
    if (!value.is_numeric()) return leading_number(value.to_text());
    return leading_number(plain_form(value.to_double(), value.type() == VarType::Single));
}

// Number to text in the host number format (what Variant::to_text gives for numbers).
std::string host_number_text(double x, bool single = false);

// Split at every occurrence of `separator` (no trimming); an empty text has no fields.
std::vector<std::string> split(std::string_view text, char separator);
// Field `index` of `fields`; SubscriptOutOfRange when it is missing.
const std::string& field(const std::vector<std::string>& fields, std::size_t index);

// Leading and trailing blanks (spaces only) removed.
std::string trim_spaces(std::string_view text);

// Upper-case hexadecimal without leading zeros ("2", "26", "0").
std::string hex_form(unsigned value);

}  // namespace quarn7
