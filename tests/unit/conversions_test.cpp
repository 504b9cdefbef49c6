// Host number and text conversions, code page 1252, and what a Variant converts to, by type.
#include "platform/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <cstdlib>

#include "platform/codepage.h"
#include "quarn7/variant.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

constexpr std::optional<ErrorNumber> kNone;
using enum ErrorNumber;

// A host's text box: its default property is its text.
struct TextBox : Object {
    explicit TextBox(Variant t) : text(std::move(t)) {}
    Variant default_value() const override { return text; }
    Variant text;
};
Variant box(Variant text) { return Variant(std::make_shared<TextBox>(std::move(text))); }

TEST(Conversions, WholeNumbersRoundHalvesToEvenAndOverflowOutsideTheirWidth) {
    const std::pair<double, double> halves[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2},
        {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}, {0.49999999999999994, 0}};
    for (const auto& [x, expected] : halves) EXPECT_EQ(round_half_even(x), expected) << x;
    EXPECT_EQ(std::tuple(to_int16(32767.4), to_int16(-32768.5), to_int32(-2147483648.5)),
              std::tuple(32767, -32768, -2147483647 - 1));  // the even neighbour is inside
    for (double x : {32767.5, -32769.0, std::nan("")})
        EXPECT_EQ(error_of([&] { to_int16(x); }), Overflow) << x;
    for (double x : {2147483647.5, -2147483649.0})
        EXPECT_EQ(error_of([&] { to_int32(x); }), Overflow) << x;
    EXPECT_EQ(std::tuple(to_byte(254.5), to_byte(-0.5), to_byte(1.5)),
              std::tuple('\xFE', '\0', '\x02'));
    for (double n : {255.5, -0.6}) EXPECT_EQ(error_of([&] { to_byte(n); }), InvalidArgument) << n;
    set_host_decimal_separator(',');
    EXPECT_EQ(to_byte(Variant("2,5")), '\x02');
    EXPECT_EQ(error_of([] { to_byte(Variant("2.5")); }), TypeMismatch);
    EXPECT_EQ(error_of([] { to_byte(Variant(true)); }), InvalidArgument);  // -1
}

// The leading number reads with a point, whatever the host separator; host numbers follow it.
TEST(Conversions, NumbersInText) {
    const std::pair<const char*, double> leading[] = {
        {"12,5", 12}, {"1 2", 1}, {" \t\n42abc", 42}, {"-3.5e2x", -350}, {"+.5", 0.5}, {"1e+", 1},
        {"2E3", 2000}, {"1.5E-1", 0.15}, {"1.2.3", 1.2}, {"5.", 5}, {"abc", 0}, {"", 0}, {"-", 0},
        {".", 0}, {"\r5", 0}, {"0x10", 0}, {"- 5", 0}, {"007", 7}};
    for (const auto& [text, n] : leading) EXPECT_DOUBLE_EQ(leading_number(text), n) << text;
    const std::tuple<char, const char*, std::optional<double>> host[] = {
        {'.', " 2.5 ", 2.5}, {'.', "\t-1e3", -1000}, {'.', "+7", 7}, {'.', "2,5", {}},
        {',', " -0,25 ", -0.25}, {',', "2.5", {}}, {'.', "   ", {}}, {'.', "1e", {}},
        {'.', "12a", {}}, {'.', "1 2", {}}, {'.', "--1", {}}, {',', "1,5E-1", 0.15}};
    for (const auto& [separator, text, value] : host) {
        set_host_decimal_separator(separator);
        EXPECT_EQ(error_of([&] { parse_host_number(text); }), value ? kNone : TypeMismatch) << text;
        EXPECT_DOUBLE_EQ(value ? parse_host_number(text) : 0, value.value_or(0)) << text;
    }
    set_host_decimal_separator(',');
    EXPECT_DOUBLE_EQ(leading_number(Variant(2.5)), 2.5);  // a number keeps its fraction
    EXPECT_DOUBLE_EQ(leading_number(Variant("3.25")), 3.25);
    EXPECT_DOUBLE_EQ(Variant("2,5").to_double(), 2.5);
    EXPECT_EQ(host_number_text(-1.5e20), "-1,5E+20");
    EXPECT_EQ(host_number_text(1.0 / 3), "0,333333333333333");  // double unless told otherwise
    EXPECT_EQ(host_number_text(1.0f / 3, true), "0,3333333");
    EXPECT_EQ(Variant(0.1f).to_text(), "0,1");
    EXPECT_EQ(signed_form(9.5), " 9.5");  // the forms keep their point
}

TEST(Conversions, SignedAndPlainForms) {
    const std::tuple<double, bool, const char*> cases[] = {
        {5, false, " 5"}, {-5, false, "-5"}, {-0.0, false, " 0"}, {-2.5, false, "-2.5"},
        {0.0001, false, " 0.0001"}, {0.00001, false, " 1E-05"}, {1e15, false, " 1E+15"},
        {123456789012345, false, " 123456789012345"}, {1.0 / 3, false, " 0.333333333333333"},
        {1234567890123456, false, " 1.23456789012346E+15"}, {1.0f / 3, true, " 0.3333333"},
        {1234567, true, " 1234567"}, {12345678, true, " 1.234568E+07"},
        {-1.5e-7, true, "-1.5E-07"}};
    for (const auto& [x, single, text] : cases) {
        EXPECT_EQ(signed_form(x, single), text) << x;
        EXPECT_EQ(plain_form(x, single), text[0] == ' ' ? text + 1 : text) << x;
    }
}

TEST(EnvironmentSeparator, LcAllOverLcNumericOverLangEvenWhenTheLocaleIsNotInstalled) {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) unsetenv(name);
    EXPECT_EQ(environment_decimal_separator(), '.');
    const std::tuple<const char*, const char*, char> steps[] = {{"LANG", "nl_NL.UTF-8", ','},
        {"LC_NUMERIC", "en_GB.UTF-8", '.'}, {"LC_NUMERIC", "fr_FR.UTF-8@euro", ','},
        {"LC_NUMERIC", "C.UTF-8", '.'}, {"LC_NUMERIC", "pt_BR", ','}, {"LC_NUMERIC", "POSIX", '.'},
        {"LC_ALL", "sv_SE.UTF-8", ','}};
    for (const auto& [name, locale, separator] : steps) {
        setenv(name, locale, 1);
        EXPECT_EQ(environment_decimal_separator(), separator) << name << "=" << locale;
    }
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) unsetenv(name);
}

// Split, field, trim, hex; code page 1252 both ways, "?" for what it lacks and broken UTF-8.
TEST(Text, HelpersAndCodePage) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(split("a| b||c ", '|'), (Fields{"a", " b", "", "c "}));
    EXPECT_EQ(split("", '|'), Fields{});
    EXPECT_EQ(field(split("5", '|'), 0), "5");
    EXPECT_EQ(error_of([] { field(split("5", '|'), 1); }), SubscriptOutOfRange);
    EXPECT_EQ(trim_spaces("\t x  "), "\t x");
    EXPECT_EQ(hex_form(0) + hex_form(13) + hex_form(0xABCDEF), "0DABCDEF");
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(to_cp1252(from_cp1252(all)), all);
    const std::pair<const char*, const char*> cases[] = {{"\u20AC", "\x80"}, {"\u00EF", "\xEF"},
        {"\u00B0", "\xB0"}, {"\u00FF", "\xFF"}, {"\u201A", "\x82"}, {"\u2122", "\x99"},
        {"\u0178", "\x9F"}, {"\u017E", "\x9E"}, {"25\u00B0C", "25\xB0" "C"},
        // The five bytes the page leaves undefined keep the control characters of their number.
        {"\u0081", "\x81"}, {"\u008D", "\x8D"}, {"\u008F", "\x8F"}, {"\u0090", "\x90"},
        {"\u009D", "\x9D"}};
    for (const auto& [utf8, bytes] : cases) {
        EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
        EXPECT_EQ(from_cp1252(bytes), utf8) << utf8;
    }
    const std::pair<const char*, const char*> lacking[] = {{"\u03A9", "?"}, {"\U0001F600", "?"},
        {"\u0080", "?"}, {"a\u0100b", "a?b"}, {"\xC3(", "?("}, {"\xC3", "?"},
        {"a\xE2\x82" "b", "a?b"}, {"\x80", "?"}, {"\xC0\xAF", "??"}, {"\xED\xA0\x80", "?"}, {"\xF4\x90\x80\x80", "?"}};
    for (const auto& [utf8, bytes] : lacking) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

// to_integer mismatches what to_double refuses and overflows on what it takes beyond its range.
TEST(Variants, ConvertEveryType) {
    set_host_decimal_separator('.');
    const std::tuple<Variant, std::optional<double>, std::optional<std::int16_t>, const char*>
        rows[] = {{Variant(), 0, 0, ""}, {std::int16_t{-7}, -7, -7, "-7"}, {2.5f, 2.5, 2, "2.5"},
        {std::int32_t{100000}, 100000, {}, "100000"}, {1.0f / 3, double(1.0f / 3), 0, "0.3333333"},
        {3.5, 3.5, 4, "3.5"}, {-2.5, -2.5, -2, "-2.5"}, {32767.5, 32767.5, {}, "32767.5"},
        {1e16, 1e16, {}, "1E+16"}, {" 12 ", 12, 12, " 12 "}, {"4.5", 4.5, 4, "4.5"},
        {"abc", {}, {}, "abc"}, {"", {}, {}, ""}, {true, -1, -1, "True"},
        {box("41.5"), 41.5, 42, "41.5"}, {box(std::int16_t{9}), 9, 9, "9"}};
    for (const auto& [value, number, integer, text] : rows) {
        EXPECT_EQ(error_of([&] { value.to_double(); }), number ? kNone : TypeMismatch) << text;
        EXPECT_DOUBLE_EQ(number ? value.to_double() : 0, number.value_or(0)) << text;
        EXPECT_EQ(error_of([&] { value.to_integer(); }),
                  integer ? kNone : number ? Overflow : TypeMismatch) << text;
        EXPECT_EQ(integer ? value.to_integer() : 0, integer.value_or(0)) << text;
        EXPECT_EQ(integer ? value.to_long() : 0, integer.value_or(0)) << text;
        EXPECT_EQ(value.to_text(), text) << text;
    }
}

TEST(Variants, LongAndSingleRangesBooleansAndObjects) {
    EXPECT_EQ(Variant("2147483647").to_long(), 2147483647);
    EXPECT_EQ(Variant(2147483646.5).to_long(), 2147483646);
    EXPECT_EQ(error_of([] { Variant("-2147483649").to_long(); }), Overflow);
    EXPECT_EQ(Variant("16777217").to_single(), 16777216.0f);
    EXPECT_EQ(error_of([] { Variant(1e300).to_single(); }), Overflow);
    EXPECT_EQ(Variant(double{std::numeric_limits<float>::max()}).to_single(),
              std::numeric_limits<float>::max());  // the bound itself is inside
    EXPECT_TRUE(Variant(std::int32_t{1}).is_numeric() && !Variant(true).is_numeric());
    const std::pair<Variant, bool> booleans[] = {{Variant(), false}, {0.5, true}, {"TRUE", true},
        {"false", false}, {"0", false}, {"-1", true}, {box("True"), true}};
    for (const auto& [value, expected] : booleans) EXPECT_EQ(value.to_bool(), expected) << expected;
    EXPECT_EQ(error_of([] { Variant("yes").to_bool(); }), TypeMismatch);
    const Variant no_default(std::make_shared<Object>()), nothing(std::shared_ptr<Object>{});
    EXPECT_EQ(error_of([&] { no_default.to_double(); }), TypeMismatch);  // no default property
    EXPECT_EQ(error_of([&] { no_default.to_text(); }), TypeMismatch);
    EXPECT_EQ(error_of([&] { no_default.to_bool(); }), TypeMismatch);
    EXPECT_EQ(nothing.type(), VarType::Object);
    EXPECT_EQ(error_of([&] { nothing.to_text(); }), ObjectNotSet);
}

}  // namespace
}  // namespace quarn7::testing
