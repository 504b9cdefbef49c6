// The write members' roundings, bounds, write-backs and refusals (dispatch_test holds each one's
// plain first frame); hooglaag, which sends nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>

#include "platform/conversions.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using C = clsvyx7;
using Let = void (C::*)(Variant&);
using I = std::int16_t;
using ::testing::Each, ::testing::ElementsAre;

struct Sent {
    Let member;
    Variant in;
    std::string frame;
    std::optional<Variant> out{};  // the caller's variable afterwards; unchanged when absent
};

class WritesTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
        port->answer_with(answer_every_frame());
    }
    void expect_sent(const std::vector<Sent>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.in.to_text());
            Variant arg = c.in;
            const auto before = port->frames().size();
            ((*de).*c.member)(arg);
            ASSERT_EQ(port->frames().size(), before + 1);
            EXPECT_EQ(hex(port->frames().back()), c.frame);
            EXPECT_EQ(arg, c.out.value_or(c.in));
        }
    }
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        for (const auto& frame : port->frames()) out.push_back(hex(frame));
        return out;
    }
};

TEST_F(WritesTest, ValueBytesAndWriteBacksWithEitherDecimalSeparator) {
    expect_sent({
        {&C::afstand, 0.05, "02 04 00 02 23 00 00 00 00 0D", I{0}},  // 0.5 tenth, to even
        // Distance counter 2: the unrounded product written back, the remainder byte rounded.
        {&C::afstand2, 1677721.5, "02 04 00 02 27 FF FF FF 00 0D", 16777215.0},
        {&C::afstand2, 0.25, "02 04 00 02 27 02 00 00 00 0D", 2.5},
        {&C::afstand2, "0.75", "02 04 00 02 27 08 00 00 00 0D", 7.5},
        {&C::foto_nummer, 300.7, "02 02 00 02 21 2D 01 0D"},
        {&C::schrijf_2byte_waarde, "258|201|x", "02 02 00 02 C9 02 01 0D"},
        {&C::schrijf_commando, " 2.5 | 63 |9", "02 01 00 02 3F 02 0D"},
        {&C::waarde_schrijven, "5|63abc", "02 01 00 02 3F 05 0D"},  // the code's leading number
        // Clock: minute, hour, day, month, year counted from 2000.
        {&C::tijd, "14:05:59|03-12-2000", "02 05 00 02 20 05 0E 03 0C 00 0D"},
        {&C::tijd, "9:7|1-2-99", "02 05 00 02 20 07 09 01 02 63 0D"},
        // The colour goes out as its decimal characters; lengte_laag stays 1 however many.
        {&C::overlay_wit_zwart_wissel, 1.5, "02 01 00 02 91 31 2E 35 0D", 1.5},
        {&C::overlay_wit_zwart_wissel, "3,5", "02 01 00 02 91 33 0D", 3.0},
        {&C::videoteller, "1:2:3", "02 03 00 02 24 00 00 01 0D"},  // by place, seconds first
        {&C::schrijf_tekst_veld, " A ", "02 06 00 02 A1 20 00 41 00 20 00 0D"},  // untrimmed
        {&C::schrijf_tekst_veld, "é€", "02 04 00 02 A1 E9 00 80 00 0D"},         // code page 1252
        // Windows: X and Y in units of 15, below 0 as 0, halves to even; the code's leading number.
        {&C::venster_zetten, "-4|7|130", "02 04 00 02 82 00 00 69 00 0D"},
        {&C::venster_zetten, "24|16|96abc", "02 04 00 02 60 68 01 F0 00 0D"},
        {&C::venster_zetten, "4369|0|96", "02 04 00 02 60 FF FF 00 00 0D"},
    });
    set_host_decimal_separator(',');  // numbers in the host's format; the comma ends a code
    expect_sent({
        {&C::afstand, "12,3", "02 04 00 02 23 7B 00 00 00 0D", I{123}},
        {&C::overlay_wit_zwart_wissel, 1.5, "02 01 00 02 91 31 2E 35 0D", 1.5},
        {&C::schrijf_commando, "2,5|63,4", "02 01 00 02 3F 02 0D"},
        {&C::waarde_schrijven, "5|63,6", "02 01 00 02 3F 05 0D"},
        {&C::venster_zetten, "2,5|3|96", "02 04 00 02 60 26 00 2D 00 0D"},
    });
}

TEST_F(WritesTest, ConversionFailuresSendNothingKeepTheWordsStoredBeforeThemHooglaagSplits) {
    using enum ErrorNumber;
    using Words = std::array<int, 4>;  // commando_code, commando_soort, lengte_laag, lengte_hoog
    constexpr Words kUntouched{42, 1, 7, 9};  // left by the read before each case
    // clang-format off
    const std::tuple<Let, Variant, ErrorNumber, Words> cases[] = {
        {&C::afstand, 3276.8, Overflow, {35, 2, 4, 0}},
        {&C::afstand, -0.1, InvalidArgument, {35, 2, 4, 0}},
        {&C::afstand, "12,3", TypeMismatch, {35, 2, 4, 0}},
        {&C::afstand2, 1677721.6, InvalidArgument, {39, 2, 4, 0}},
        {&C::afstand2, 25.55, InvalidArgument, {39, 2, 4, 0}},  // remainder 255.5 -> 256
        {&C::foto_nummer, 65536, InvalidArgument, {33, 2, 2, 0}},
        {&C::foto_nummer, "x", TypeMismatch, kUntouched},  // hooglaag comes first
        {&C::eenheid_lc1, "abc", TypeMismatch, {37, 2, 1, 0}},
        {&C::schrijf_2byte_waarde, "1000|40000", Overflow, {42, 2, 7, 0}},
        {&C::schrijf_2byte_waarde, "x|63", TypeMismatch, {63, 2, 7, 0}},
        {&C::schrijf_2byte_waarde, "65536|63", InvalidArgument, {63, 2, 2, 0}},
        {&C::schrijf_commando, "5", SubscriptOutOfRange, {42, 2, 1, 0}},
        {&C::schrijf_commando, "5|63abc", TypeMismatch, {42, 2, 1, 0}},
        {&C::schrijf_commando, "256|63", InvalidArgument, {63, 2, 1, 0}},
        {&C::schrijf_commando, "5|300", InvalidArgument, {300, 2, 1, 0}},  // no frame holds it
        {&C::waarde_schrijven, "5", SubscriptOutOfRange, kUntouched},
        {&C::tijd, "14:05|3-12", SubscriptOutOfRange, kUntouched},
        {&C::tijd, "14:xx|3-12-2026", TypeMismatch, {32, 2, 5, 0}},
        {&C::tijd, "14:05|3-12-1999", InvalidArgument, {32, 2, 5, 0}},
        {&C::tijd, "14:05|3-12-34768", InvalidArgument, {32, 2, 5, 0}},  // year 32768
        {&C::tijd, "14:32768|3-12-2026", InvalidArgument, {32, 2, 5, 0}},
        {&C::videoteller, "-1:00:00", InvalidArgument, {36, 2, 3, 0}},
        {&C::schrijf_tekst_veld, std::string(32768, 'x'), InvalidArgument, {161, 2, 0, 256}},
        {&C::venster_zetten, "2|3", SubscriptOutOfRange, kUntouched},
        {&C::venster_zetten, "x|3|96", TypeMismatch, kUntouched},
        {&C::venster_zetten, "4370|0|96", InvalidArgument, {96, 2, 4, 0}},  // 65550 > 16 bits
    };
    // clang-format on
    for (const auto& [member, in, error, words] : cases) {
        port->answer({{1ms, bytes("06 02 07 09 0D")}});
        read_item(42);
        Variant arg = in;
        EXPECT_EQ(error_of([&] { ((*de).*member)(arg); }), error) << in.to_text().substr(0, 20);
        const auto s = de->state();
        EXPECT_EQ((Words{s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog}), words)
            << in.to_text().substr(0, 20);
    }
    for (double w = -70000.25; w < 70000; w += 37.75) {  // laag + 256 * hoog == Waarde
        Variant waarde(w), hoog, laag;
        de->hooglaag(waarde, hoog, laag);
        const double h = hoog.double_value(), l = laag.double_value();
        EXPECT_TRUE(h == std::floor(h) && l >= 0 && l < 256 && l + 256 * h == w) << w;
        EXPECT_EQ(waarde, Variant(w));
    }
    EXPECT_THAT(sent(), Each(read_request(42)));  // hooglaag sends nothing either
}

TEST_F(WritesTest, SystemTextFollowsARefusedSelectionZetTekstTrimsWritesBackCountsCharacters) {
    Variant text("AB"), tekst("  Hallo  "), veld(I{130}), long_text(std::string(300, 'x'));
    Variant code("107abc"), blanks("   "), tie(130.5);
    port->answer(Answer{{1ms, bytes("15")}});
    de->schrijf_systeemtekstveld(text);
    de->ZetTekst(tekst, veld);
    de->ZetTekst(long_text, code);
    de->ZetTekst(blanks, tie);
    EXPECT_EQ(tekst, Variant("Hallo"));
    EXPECT_EQ(blanks, Variant(""));
    // The length words count characters (300); the data still has two bytes each.
    EXPECT_THAT(sent(), ElementsAre("02 01 00 02 A2 01 0D", "02 04 00 02 A1 41 00 42 00 0D",
                                    "02 05 00 02 82 48 00 61 00 6C 00 6C 00 6F 00 0D",
                                    ::testing::StartsWith("02 2C 01 02 6B"), "02 00 00 02 82 0D"));
    EXPECT_EQ(port->frames().at(3).size(), 6u + 600u);
}

TEST_F(WritesTest, ZettekstXYClampsTheFieldAndWritesItBack) {
    const std::tuple<Variant, std::string, Variant> cases[] = {
        {I{0}, "01", I{1}}, {" 1 ", "01", " 1 "}, {I{20}, "10", I{16}}, {" 16 ", "10", " 16 "},
        {2.5, "02", 2.5}};
    for (const auto& [in, field, out] : cases) {
        Variant x = in, y("ignored"), tekst("A");
        const auto before = port->frames().size();
        de->zettekst_x_y(x, y, tekst);
        EXPECT_EQ(sent().at(before), "02 01 00 02 A0 " + field + " 0D") << in.to_text();
        EXPECT_EQ(sent().at(before + 1), "02 02 00 02 A1 41 00 0D");
        EXPECT_EQ(x, out) << in.to_text();
    }
}

}  // namespace
}  // namespace quarn7::testing
