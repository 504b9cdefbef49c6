// Automation values: what the controller's members take and give back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "quarn7/export.h"

namespace quarn7 {

class Variant;

// Anything a Variant can hold as an object: the serial port object, a controller, or a host's
// text box whose default property is its text.
class QUARN7_API Object {
public:
    virtual ~Object() = default;
    // The object's default property; objects without one raise a type mismatch.
    virtual Variant default_value() const;
};

// Decimal separator of the number-to-text and text-to-number conversions of Variants. It starts
// from the environment's LC_NUMERIC (nl_NL gives ','), '.' where that cannot be read.
QUARN7_API char host_decimal_separator();
QUARN7_API void set_host_decimal_separator(char separator);

// The leading number of a text with '.' as decimal point whatever the host format: blanks, tabs
// and line feeds skipped, optional sign, digits, one '.', optional exponent; 0 when there is no
// number. Never fails.
QUARN7_API double leading_number(std::string_view text);
// Signed number form: one blank before a number that is not negative, '-' before a negative one,
// no decimal point for a whole value, '.' as decimal point; `single` limits it to seven
// significant digits.
QUARN7_API std::string signed_form(double x, bool single = false);

enum class VarType : std::uint8_t { Empty, Integer, Long, Single, Double, String, Boolean, Object };

QUARN7_API std::string_view type_name(VarType type);  // "Empty", "Integer", ...

// A whole number in the narrowest automation kind that holds it, as by-name callers (the
// command-line host, the Python module) type an untyped number: Integer when it fits 16 bits,
// Long when it fits 32, Double beyond.
QUARN7_API Variant whole_number(std::int64_t value);

class QUARN7_API Variant {
public:
    Variant() = default;
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(bool v) : value_(v) {}
    Variant(std::string text) : value_(std::move(text)) {}  // UTF-8
    Variant(const char* text) : value_(std::string(text)) {}
    Variant(std::shared_ptr<Object> object) : value_(std::move(object)) {}

    VarType type() const { return static_cast<VarType>(value_.index()); }
    bool is_empty() const { return type() == VarType::Empty; }
    bool is_numeric() const;  // Integer, Long, Single, Double (not Boolean)

    // Conversions with automation semantics: text is read in the host number format, whole
    // numbers round half to even, out of range raises Overflow, non-numbers TypeMismatch.
    std::int16_t to_integer() const;
    std::int32_t to_long() const;
    float to_single() const;
    double to_double() const;
    bool to_bool() const;
    std::string to_text() const;  // numbers in the host number format, Booleans "True"/"False"
    std::shared_ptr<Object> object() const;  // null unless the Variant holds an object

    // The held value itself (no conversion); precondition: type() matches.
    std::int16_t integer_value() const { return std::get<std::int16_t>(value_); }
    std::int32_t long_value() const { return std::get<std::int32_t>(value_); }
    float single_value() const { return std::get<float>(value_); }
    double double_value() const { return std::get<double>(value_); }
    bool bool_value() const { return std::get<bool>(value_); }
    const std::string& string_value() const { return std::get<std::string>(value_); }

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    // Index order matches VarType.
    std::variant<std::monostate, std::int16_t, std::int32_t, float, double, std::string, bool,
                 std::shared_ptr<Object>>
        value_;
};

}  // namespace quarn7
