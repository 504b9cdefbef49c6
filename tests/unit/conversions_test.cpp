// Host number and text conversions: rounding, overflow, leading numbers, the host separator, the
// signed and plain forms, splitting, and code page 1252.
#include "platform/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/codepage.h"
#include "support/errors.h"

namespace quarn7::testing {
namespace {

class Conversions : public ::testing::Test {
protected:
    void SetUp() override { set_host_decimal_separator('.'); }
};

TEST_F(Conversions, RoundsHalvesToTheEvenNeighbour) {
    // clang-format off
    const std::pair<double, double> cases[] = {
        {0.5, 0},    {1.5, 2},    {2.5, 2},    {3.5, 4},       {-0.5, 0},
        {-1.5, -2},  {-2.5, -2},  {-3.5, -4},  {2.4999, 2},    {2.5001, 3},
        {-2.6, -3},  {7, 7},      {1e300, 1e300},             {0.49999999999999994, 0},
    };
    // clang-format on
    for (const auto& [x, expected] : cases) EXPECT_EQ(round_half_even(x), expected) << x;
}

TEST_F(Conversions, WholeNumbersOverflowOutsideTheirWidth) {
    EXPECT_EQ(to_int16(32767.4), 32767);
    EXPECT_EQ(to_int16(32766.5), 32766);
    EXPECT_EQ(to_int16(-32768.5), -32768);  // the even neighbour is inside
    EXPECT_EQ(to_int32(2147483646.5), 2147483646);
    EXPECT_EQ(to_int32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    for (double x : {32767.5, 32768.0, -32769.0, -32769.5, std::nan("")}) {
        EXPECT_EQ(error_of([&] { to_int16(x); }), ErrorNumber::Overflow) << x;
    }
    for (double x : {2147483647.5, -2147483649.0, 1e10, std::nan("")}) {
        EXPECT_EQ(error_of([&] { to_int32(x); }), ErrorNumber::Overflow) << x;
    }
}

TEST_F(Conversions, LeadingNumberReadsWhatStartsTheText) {
    const std::pair<const char*, double> cases[] = {
        {"42", 42},        {"12,5", 12},     {"1 2", 1},     {" \t\n42abc", 42},
        {"-3.5e2x", -350}, {"+.5", 0.5},     {"1e", 1},      {"1e+", 1},
        {"2E3", 2000},     {"1.5E-1", 0.15}, {"1.2.3", 1.2}, {"5.", 5},
        {"abc", 0},        {"", 0},          {"-", 0},       {".", 0},
        {"\r5", 0},        {"0x10", 0},      {" 7 ", 7},     {"- 5", 0},
        {"73abc", 73},     {"007", 7},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(leading_number(text), expected) << text;
}

TEST_F(Conversions, LeadingNumberOfAVariantReadsItsHostText) {
    EXPECT_DOUBLE_EQ(leading_number(Variant(2.5)), 2.5);
    // Under a decimal comma the text is "2,5": the leading number stops at the comma.
    set_host_decimal_separator(',');
    EXPECT_DOUBLE_EQ(leading_number(Variant(2.5)), 2);
    EXPECT_DOUBLE_EQ(leading_number(Variant("3.25")), 3.25);
    EXPECT_DOUBLE_EQ(leading_number(Variant()), 0);
}

struct HostNumberCase {
    char separator;
    const char* text;
    std::optional<double> value;  // nullopt: type mismatch
};

TEST_F(Conversions, HostNumbersFollowTheSeparator) {
    const HostNumberCase cases[] = {
        {'.', "2.5", 2.5},  {'.', " 2.5 ", 2.5},   {'.', "\t-1e3", -1000},  {'.', "+7", 7},
        {'.', "2,5", {}},   {',', "2,5", 2.5},     {',', " -0,25 ", -0.25}, {',', "2.5", {}},
        {'.', "", {}},      {'.', "   ", {}},      {'.', "abc", {}},        {'.', "1e", {}},
        {'.', "12a", {}},   {'.', "1 2", {}},      {'.', "--1", {}},        {'.', ".", {}},
        {'.', "1E+2", 100}, {',', "1,5E-1", 0.15},
    };
    for (const auto& c : cases) {
        set_host_decimal_separator(c.separator);
        if (c.value) {
            EXPECT_DOUBLE_EQ(parse_host_number(c.text), *c.value) << c.text;
        } else {
            EXPECT_EQ(error_of([&] { parse_host_number(c.text); }), ErrorNumber::TypeMismatch)
                << c.text;
        }
    }
}

TEST_F(Conversions, ByteRoundsAndRefusesOutsideTheRange) {
    EXPECT_EQ(to_byte(65.0), 'A');
    EXPECT_EQ(to_byte(254.5), static_cast<char>(254));
    EXPECT_EQ(to_byte(-0.5), '\0');
    EXPECT_EQ(to_byte(0.5), '\0');
    EXPECT_EQ(to_byte(1.5), '\x02');
    for (double n : {255.5, 256.0, -0.6, -1.0}) {
        EXPECT_EQ(error_of([&] { to_byte(n); }), ErrorNumber::InvalidArgument) << n;
    }
}

TEST_F(Conversions, ByteOfAVariantReadsTextInTheHostFormat) {
    set_host_decimal_separator(',');
    EXPECT_EQ(to_byte(Variant("65")), 'A');
    EXPECT_EQ(to_byte(Variant("2,5")), '\x02');
    EXPECT_EQ(to_byte(Variant(std::int16_t{255})), static_cast<char>(255));
    EXPECT_EQ(error_of([] { to_byte(Variant("2.5")); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([] { to_byte(Variant("x")); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([] { to_byte(Variant(true)); }), ErrorNumber::InvalidArgument);  // -1
}

struct FormCase {
    double x;
    bool single;
    const char* signed_text;
};

TEST_F(Conversions, SignedAndPlainForms) {
    // clang-format off
    const FormCase cases[] = {
        {5, false, " 5"},           {-5, false, "-5"},         {9.5, false, " 9.5"},
        {0, false, " 0"},           {-0.0, false, " 0"},       {-2.5, false, "-2.5"},
        {0.0001, false, " 0.0001"}, {0.00001, false, " 1E-05"}, {1e16, false, " 1E+16"},
        {1e15, false, " 1E+15"},    {123456789012345, false, " 123456789012345"},
        {1234567890123456, false, " 1.23456789012346E+15"},
        {1.0 / 3, false, " 0.333333333333333"},  {1099511627775, false, " 1099511627775"},
        {1.0f / 3, true, " 0.3333333"},          {static_cast<float>(0.1), true, " 0.1"},
        {1234567, true, " 1234567"},             {12345678, true, " 1.234568E+07"},
        {-1.5e-7, true, "-1.5E-07"},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(signed_form(c.x, c.single), c.signed_text) << c.x;
        const std::string plain = c.signed_text[0] == ' ' ? c.signed_text + 1 : c.signed_text;
        EXPECT_EQ(plain_form(c.x, c.single), plain) << c.x;
    }
}

TEST_F(Conversions, HostNumberTextUsesTheHostSeparator) {
    set_host_decimal_separator(',');
    EXPECT_EQ(host_number_text(2.5), "2,5");
    EXPECT_EQ(host_number_text(-1.5e20), "-1,5E+20");
    EXPECT_EQ(host_number_text(1.0f / 3, true), "0,3333333");
    EXPECT_EQ(host_number_text(7), "7");
    EXPECT_EQ(signed_form(9.5), " 9.5");  // the forms keep their point
    set_host_decimal_separator('.');
    EXPECT_EQ(host_number_text(2.5), "2.5");
    EXPECT_EQ(host_number_text(-0.01), "-0.01");
}

// The environment is read afresh by environment_decimal_separator(); each test starts with none
// of its locale variables.
class EnvironmentSeparator : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) unsetenv(name);
    }
};

TEST_F(EnvironmentSeparator, FollowsLcNumericEvenWhenTheLocaleIsNotInstalled) {
    const std::pair<const char*, char> cases[] = {
        {"nl_NL.UTF-8", ','}, {"de_DE", ','},       {"fr_FR.UTF-8@euro", ','},
        {"pt_BR.UTF-8", ','}, {"en_US.UTF-8", '.'}, {"ja_JP", '.'},
        {"C", '.'},           {"C.UTF-8", '.'},     {"POSIX", '.'},
    };
    for (const auto& [name, expected] : cases) {
        setenv("LC_NUMERIC", name, 1);
        EXPECT_EQ(environment_decimal_separator(), expected) << name;
    }
}

TEST_F(EnvironmentSeparator, LcAllOverridesLcNumericWhichOverridesLang) {
    EXPECT_EQ(environment_decimal_separator(), '.');
    setenv("LANG", "nl_NL.UTF-8", 1);
    EXPECT_EQ(environment_decimal_separator(), ',');
    setenv("LC_NUMERIC", "en_GB.UTF-8", 1);
    EXPECT_EQ(environment_decimal_separator(), '.');
    setenv("LC_ALL", "sv_SE.UTF-8", 1);
    EXPECT_EQ(environment_decimal_separator(), ',');
}

TEST(Split, SplitsAtEverySeparatorWithoutTrimming) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(split("1000|33", '|'), (Fields{"1000", "33"}));
    EXPECT_EQ(split("a| b||c ", '|'), (Fields{"a", " b", "", "c "}));
    EXPECT_EQ(split("|", '|'), (Fields{"", ""}));
    EXPECT_EQ(split("abc", '|'), (Fields{"abc"}));
    EXPECT_EQ(split("", '|'), Fields{});
}

TEST(Split, MissingFieldIsSubscriptOutOfRange) {
    const auto fields = split("5", '|');
    EXPECT_EQ(field(fields, 0), "5");
    EXPECT_EQ(error_of([&] { field(fields, 1); }), ErrorNumber::SubscriptOutOfRange);
    EXPECT_EQ(error_of([] { field({}, 0); }), ErrorNumber::SubscriptOutOfRange);
}

TEST(TextHelpers, TrimSpacesAndHexForm) {
    EXPECT_EQ(trim_spaces("  a b  "), "a b");
    EXPECT_EQ(trim_spaces("\tx "), "\tx");
    EXPECT_EQ(trim_spaces("   "), "");
    const std::pair<unsigned, const char*> hex[] = {{0, "0"},   {2, "2"},    {13, "D"},
                                                    {38, "26"}, {255, "FF"}, {0xABCDEF, "ABCDEF"}};
    for (const auto& [value, text] : hex) EXPECT_EQ(hex_form(value), text);
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string text = from_cp1252(all);
    EXPECT_EQ(to_cp1252(text), all);
    // One character per byte: ASCII stays one byte, everything above takes two or three.
    EXPECT_EQ(text.substr(0, 128), all.substr(0, 128));
    EXPECT_GT(text.size(), all.size() + 128);
}

TEST(CodePage, CharactersAndTheirBytes) {
    // The euro sign, i with diaeresis, the degree sign, ...; the five undefined bytes keep their
    // control characters.
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"\u20AC", "\x80"}, {"\u00EF", "\xEF"}, {"\u00B0", "\xB0"}, {"\u00A0", "\xA0"},
        {"\u00FF", "\xFF"}, {"\u201A", "\x82"}, {"\u2122", "\x99"}, {"\u0178", "\x9F"},
        {"\u017E", "\x9E"}, {"\u0081", "\x81"}, {"\u008D", "\x8D"}, {"\u008F", "\x8F"},
        {"\u0090", "\x90"}, {"\u009D", "\x9D"}, {"Tekst 1", "Tekst 1"}, {"25\u00B0C", "25\xB0" "C"},
    };
    // clang-format on
    for (const auto& [utf8, bytes] : cases) {
        EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
        EXPECT_EQ(from_cp1252(bytes), utf8) << utf8;
    }
    EXPECT_EQ(to_cp1252(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, CharactersThePageLacksBecomeQuestionMarks) {
    const std::pair<const char*, const char*> cases[] = {
        {"\u03A9", "?"},      // Greek capital omega
        {"\u4E2D", "?"},      // a CJK ideograph
        {"\U0001F600", "?"},  // four-byte sequence
        {"\u0080", "?"},      // a control the page replaced by the euro sign
        {"\u009F", "?"},     {"a\u0100b", "a?b"},
    };
    for (const auto& [utf8, bytes] : cases) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

TEST(CodePage, InvalidUtf8BecomesOneQuestionMarkPerBrokenSequence) {
    const std::pair<const char*, const char*> cases[] = {
        {"\xC3", "?"},    // cut short at the end
        {"\xC3(", "?("},  // cut short by an ASCII byte
        {"a\xE2\x82"
         "b",
         "a?b"},  // three-byte sequence missing its last byte
        {"\xFF", "?"},
        {"\x80", "?"},              // a lone continuation byte
        {"\xC0\xAF", "??"},         // overlong '/'
        {"\xE0\x80\xAF", "?"},      // overlong in three bytes
        {"\xED\xA0\x80", "?"},      // a surrogate
        {"\xF4\x90\x80\x80", "?"},  // above U+10FFFF
    };
    for (const auto& [utf8, bytes] : cases) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

}  // namespace
}  // namespace quarn7::testing
