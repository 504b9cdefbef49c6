// Host number and text conversions: rounding, overflow, leading numbers, the host separator, the
// signed and plain forms, splitting, and code page 1252.
#include "platform/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/codepage.h"
#include "support/errors.h"

namespace quarn7::testing {
namespace {

class Conversions : public ::testing::Test {
protected:
    void SetUp() override { set_host_decimal_separator('.'); }
};

TEST_F(Conversions, WholeNumbersRoundHalvesToEvenAndOverflowOutsideTheirWidth) {
    const std::pair<double, double> halves[] = {{0.5, 0},  {1.5, 2},   {2.5, 2},      {-0.5, 0},
                                                {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
                                                {-2.6, -3}, {0.49999999999999994, 0}};
    for (const auto& [x, expected] : halves) EXPECT_EQ(round_half_even(x), expected) << x;
    EXPECT_EQ(to_int16(32767.4), 32767);
    EXPECT_EQ(to_int16(-32768.5), -32768);  // the even neighbour is inside
    EXPECT_EQ(to_int32(-2147483648.5), -2147483647 - 1);
    for (double x : {32767.5, -32769.0, std::nan("")}) {
        EXPECT_EQ(error_of([&] { to_int16(x); }), ErrorNumber::Overflow) << x;
    }
    for (double x : {2147483647.5, -2147483649.0}) {
        EXPECT_EQ(error_of([&] { to_int32(x); }), ErrorNumber::Overflow) << x;
    }
    EXPECT_EQ(to_byte(254.5), static_cast<char>(254));
    EXPECT_EQ(to_byte(-0.5), '\0');
    EXPECT_EQ(to_byte(1.5), '\x02');
    for (double n : {255.5, -0.6}) {
        EXPECT_EQ(error_of([&] { to_byte(n); }), ErrorNumber::InvalidArgument) << n;
    }
    set_host_decimal_separator(',');
    EXPECT_EQ(to_byte(Variant("2,5")), '\x02');
    EXPECT_EQ(error_of([] { to_byte(Variant("2.5")); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([] { to_byte(Variant(true)); }), ErrorNumber::InvalidArgument);  // -1
}

TEST_F(Conversions, LeadingNumberReadsWhatStartsTheTextWithAPoint) {
    const std::pair<const char*, double> cases[] = {
        {"12,5", 12},    {"1 2", 1},     {" \t\n42abc", 42}, {"-3.5e2x", -350}, {"+.5", 0.5},
        {"1e+", 1},      {"2E3", 2000},  {"1.5E-1", 0.15},   {"1.2.3", 1.2},    {"5.", 5},
        {"abc", 0},      {"", 0},        {"-", 0},           {".", 0},          {"\r5", 0},
        {"0x10", 0},     {"- 5", 0},     {"007", 7},
    };
    for (const auto& [text, expected] : cases) EXPECT_DOUBLE_EQ(leading_number(text), expected) << text;
    set_host_decimal_separator(',');
    EXPECT_DOUBLE_EQ(leading_number(Variant(2.5)), 2);  // its host text is "2,5"
    EXPECT_DOUBLE_EQ(leading_number(Variant("3.25")), 3.25);
}

TEST_F(Conversions, HostNumbersFollowTheSeparator) {
    const std::tuple<char, const char*, std::optional<double>> cases[] = {
        {'.', " 2.5 ", 2.5}, {'.', "\t-1e3", -1000}, {'.', "+7", 7},      {'.', "2,5", {}},
        {',', " -0,25 ", -0.25}, {',', "2.5", {}},   {'.', "   ", {}},    {'.', "1e", {}},
        {'.', "12a", {}},    {'.', "1 2", {}},       {'.', "--1", {}},    {',', "1,5E-1", 0.15},
    };
    for (const auto& [separator, text, value] : cases) {
        set_host_decimal_separator(separator);
        if (value) {
            EXPECT_DOUBLE_EQ(parse_host_number(text), *value) << text;
        } else {
            EXPECT_EQ(error_of([&] { parse_host_number(text); }), ErrorNumber::TypeMismatch) << text;
        }
    }
    EXPECT_EQ(host_number_text(-1.5e20), "-1,5E+20");
    EXPECT_EQ(host_number_text(1.0f / 3, true), "0,3333333");
    EXPECT_EQ(signed_form(9.5), " 9.5");  // the forms keep their point
}

TEST_F(Conversions, SignedAndPlainForms) {
    const std::tuple<double, bool, const char*> cases[] = {
        {5, false, " 5"},     {-5, false, "-5"},          {-0.0, false, " 0"},
        {-2.5, false, "-2.5"}, {0.0001, false, " 0.0001"}, {0.00001, false, " 1E-05"},
        {1e15, false, " 1E+15"}, {123456789012345, false, " 123456789012345"},
        {1234567890123456, false, " 1.23456789012346E+15"}, {1.0 / 3, false, " 0.333333333333333"},
        {1.0f / 3, true, " 0.3333333"}, {1234567, true, " 1234567"}, {12345678, true, " 1.234568E+07"},
        {-1.5e-7, true, "-1.5E-07"},
    };
    for (const auto& [x, single, text] : cases) {
        EXPECT_EQ(signed_form(x, single), text) << x;
        EXPECT_EQ(plain_form(x, single), text[0] == ' ' ? text + 1 : text) << x;
    }
}

TEST(EnvironmentSeparator, LcAllOverLcNumericOverLangEvenWhenTheLocaleIsNotInstalled) {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) unsetenv(name);
    EXPECT_EQ(environment_decimal_separator(), '.');
    setenv("LANG", "nl_NL.UTF-8", 1);
    EXPECT_EQ(environment_decimal_separator(), ',');
    for (const auto& [name, expected] : {std::pair{"en_GB.UTF-8", '.'}, {"fr_FR.UTF-8@euro", ','},
                                         {"C.UTF-8", '.'}, {"pt_BR", ','}, {"POSIX", '.'}}) {
        setenv("LC_NUMERIC", name, 1);
        EXPECT_EQ(environment_decimal_separator(), expected) << name;
    }
    setenv("LC_ALL", "sv_SE.UTF-8", 1);
    EXPECT_EQ(environment_decimal_separator(), ',');
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) unsetenv(name);
}

TEST(TextHelpers, SplitFieldsTrimAndHex) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(split("a| b||c ", '|'), (Fields{"a", " b", "", "c "}));
    EXPECT_EQ(split("", '|'), Fields{});
    EXPECT_EQ(field(split("5", '|'), 0), "5");
    EXPECT_EQ(error_of([] { field(split("5", '|'), 1); }), ErrorNumber::SubscriptOutOfRange);
    EXPECT_EQ(trim_spaces("\t x  "), "\t x");
    EXPECT_EQ(hex_form(0) + hex_form(13) + hex_form(0xABCDEF), "0DABCDEF");
}

TEST(CodePage, BytesAndCharactersBothWays) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(to_cp1252(from_cp1252(all)), all);
    const std::pair<const char*, const char*> cases[] = {
        {"\u20AC", "\x80"}, {"\u00EF", "\xEF"}, {"\u00B0", "\xB0"}, {"\u00FF", "\xFF"},
        {"\u201A", "\x82"}, {"\u2122", "\x99"}, {"\u0178", "\x9F"}, {"\u017E", "\x9E"},
        {"\u0081", "\x81"}, {"\u009D", "\x9D"}, {"25\u00B0C", "25\xB0" "C"},
    };
    for (const auto& [utf8, bytes] : cases) {
        EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
        EXPECT_EQ(from_cp1252(bytes), utf8) << utf8;
    }
    // What the page lacks, and broken UTF-8, one "?" per character or broken sequence.
    const std::pair<const char*, const char*> lacking[] = {
        {"\u03A9", "?"}, {"\U0001F600", "?"}, {"\u0080", "?"}, {"a\u0100b", "a?b"}, {"\xC3(", "?("},
        {"a\xE2\x82" "b", "a?b"}, {"\x80", "?"}, {"\xC0\xAF", "??"}, {"\xED\xA0\x80", "?"},
        {"\xF4\x90\x80\x80", "?"},
    };
    for (const auto& [utf8, bytes] : lacking) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

}  // namespace
}  // namespace quarn7::testing
