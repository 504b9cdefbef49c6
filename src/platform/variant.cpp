#include "quarn7/variant.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <utility>
#include <variant>

#include "platform/conversions.h"
#include "quarn7/error.h"

namespace quarn7 {

namespace {

constexpr std::string_view kTypeNames[] = {"Empty",  "Integer", "Long",    "Single",
                                           "Double", "String",  "Boolean", "Object"};

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
// Spelled out for clang before 17, which deduces no aggregate's arguments (the fuzz build).
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

constexpr double kTrue = -1;  // automation's True as a number

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// What an object stands for in a conversion: its default property.
Variant default_of(const std::shared_ptr<Object>& object) {
    if (!object) throw Error(ErrorNumber::ObjectNotSet);
    return object->default_value();
}

}  // namespace

Variant Object::default_value() const {
    throw Error(ErrorNumber::TypeMismatch);
}

std::string_view type_name(VarType type) {
    return kTypeNames[static_cast<std::size_t>(type)];
}

Variant whole_number(std::int64_t value) {
    if (std::in_range<std::int16_t>(value)) return static_cast<std::int16_t>(value);
    if (std::in_range<std::int32_t>(value)) return static_cast<std::int32_t>(value);
    return static_cast<double>(value);
}

bool Variant::is_numeric() const {
    switch (type()) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
            return true;
        default:
            return false;
    }
}

std::int16_t Variant::to_integer() const {
    if (type() == VarType::Integer) return integer_value();
    return to_int16(to_double());
}

std::int32_t Variant::to_long() const {
    if (type() == VarType::Long) return long_value();
    return to_int32(to_double());
}

float Variant::to_single() const {
    if (type() == VarType::Single) return single_value();
    const double d = to_double();
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
        throw Error(ErrorNumber::Overflow);
    }
    return static_cast<float>(d);
}

double Variant::to_double() const {
    return std::visit(
        Overloaded{
            [](std::monostate) { return 0.0; },
            [](const std::string& text) { return parse_host_number(text); },
            [](bool b) { return b ? kTrue : 0.0; },
            [](const std::shared_ptr<Object>& o) { return default_of(o).to_double(); },
            [](auto number) { return static_cast<double>(number); },
        },
        value_);
}

bool Variant::to_bool() const {
    switch (type()) {
        case VarType::Boolean:
            return bool_value();
        case VarType::String:
            if (equals_ignoring_case(string_value(), "True")) return true;
            if (equals_ignoring_case(string_value(), "False")) return false;
            return parse_host_number(string_value()) != 0;
        case VarType::Object:
            return default_of(object()).to_bool();
        default:
            return to_double() != 0;
    }
}

std::string Variant::to_text() const {
    return std::visit(Overloaded{
                          [](std::monostate) { return std::string(); },
                          [](std::int16_t n) { return std::to_string(n); },
                          [](std::int32_t n) { return std::to_string(n); },
                          [](float x) { return host_number_text(x, true); },
                          [](double x) { return host_number_text(x); },
                          [](const std::string& text) { return text; },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                          [](const std::shared_ptr<Object>& o) { return default_of(o).to_text(); },
                      },
                      value_);
}

std::shared_ptr<Object> Variant::object() const {
    const auto* held = std::get_if<std::shared_ptr<Object>>(&value_);
    return held ? *held : nullptr;
}

}  // namespace quarn7
