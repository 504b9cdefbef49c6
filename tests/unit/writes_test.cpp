// The write members: value bytes, codes, text fields, windows, write-backs and conversion
// failures; and hooglaag, which sends nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "platform/conversions.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using Let = void (clsvyx7::*)(Variant&);
const Let kAfstand = static_cast<Let>(&clsvyx7::afstand);
const Let kAfstand2 = static_cast<Let>(&clsvyx7::afstand2);
const Let kColour = &clsvyx7::overlay_wit_zwart_wissel;
const Let kText = &clsvyx7::schrijf_tekst_veld;
const Let kWindow = &clsvyx7::venster_zetten;
const Let kSystemField = &clsvyx7::kies_systeemtekstveld;
using Frames = std::vector<std::string>;
constexpr std::int16_t operator""_i(unsigned long long n) {
    return static_cast<std::int16_t>(n);
}

struct Sent {
    Let member;
    Variant in;
    std::string frame;
    std::optional<Variant> out{};  // the caller's variable afterwards; unchanged when absent
};

struct Refused {
    Let member;
    Variant in;
    ErrorNumber error;
};

class WritesTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
        acknowledge_everything();
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
    Frames sent() const {
        Frames out;
        for (const auto& frame : port->frames()) out.push_back(hex(frame));
        return out;
    }
};

TEST_F(WritesTest, ValueBytesAndWriteBacks) {
    expect_sent({
        // Distance counter 1: tenths as a signed 16-bit number (ties to even), written back.
        {kAfstand, 12.3, "02 04 00 02 23 7B 00 00 00 0D", 123_i},
        {kAfstand, "12.3", "02 04 00 02 23 7B 00 00 00 0D", 123_i},
        {kAfstand, 3276.7, "02 04 00 02 23 FF 7F 00 00 0D", 32767_i},
        {kAfstand, 0.05, "02 04 00 02 23 00 00 00 00 0D", 0_i},
        {kAfstand, 0.15, "02 04 00 02 23 02 00 00 00 0D", 2_i},
        {kAfstand, -0.01, "02 04 00 02 23 00 00 00 00 0D", 0_i},
        // Distance counter 2: the unrounded product written back, the remainder byte rounded.
        {kAfstand2, 70000, "02 04 00 02 27 60 AE 0A 00 0D", 700000.0},
        {kAfstand2, 1677721.5, "02 04 00 02 27 FF FF FF 00 0D", 16777215.0},
        {kAfstand2, 0.25, "02 04 00 02 27 02 00 00 00 0D", 2.5},
        {kAfstand2, "0.75", "02 04 00 02 27 08 00 00 00 0D", 7.5},
        {&clsvyx7::foto_nummer, 1000_i, "02 02 00 02 21 E8 03 0D"},
        {&clsvyx7::foto_nummer, 65535, "02 02 00 02 21 FF FF 0D"},
        {&clsvyx7::foto_nummer, 300.7, "02 02 00 02 21 2D 01 0D"},
        {&clsvyx7::schrijf_2byte_waarde, "1000|33", "02 02 00 02 21 E8 03 0D"},
        {&clsvyx7::schrijf_2byte_waarde, "258|201|x", "02 02 00 02 C9 02 01 0D"},
        {&clsvyx7::schrijf_commando, "5|33", "02 01 00 02 21 05 0D"},
        {&clsvyx7::schrijf_commando, " 2.5 | 63 |9", "02 01 00 02 3F 02 0D"},
        {&clsvyx7::schrijf_commando, "3.5|63", "02 01 00 02 3F 04 0D"},
        // The code is the leading number of its field, rounded.
        {&clsvyx7::waarde_schrijven, "5|63.6", "02 01 00 02 40 05 0D"},
        {&clsvyx7::waarde_schrijven, "5|63abc", "02 01 00 02 3F 05 0D"},
        {&clsvyx7::eenheid_lc1, 2_i, "02 01 00 02 25 02 0D"},
        {&clsvyx7::eenheid_lc2, "3", "02 01 00 02 26 03 0D"},
        {&clsvyx7::factor_lc1, 4.5, "02 01 00 02 29 04 0D"},
        {&clsvyx7::factor_lc2, 255, "02 01 00 02 2A FF 0D"},
        {&clsvyx7::eenheid_temperatuur, 1_i, "02 01 00 02 28 01 0D"},
        // Clock: minute, hour, day, month, year counted from 2000.
        {&clsvyx7::tijd, "14:05|03-12-2026", "02 05 00 02 20 05 0E 03 0C 1A 0D"},
        {&clsvyx7::tijd, "14:05:59|03-12-2000", "02 05 00 02 20 05 0E 03 0C 00 0D"},
        {&clsvyx7::tijd, "9:7|1-2-99", "02 05 00 02 20 07 09 01 02 63 0D"},
        {&clsvyx7::tijd, "23:59|31-12-2255", "02 05 00 02 20 3B 17 1F 0C FF 0D"},
        // The colour goes out as its decimal characters; lengte_laag stays 1 however many.
        {kColour, 1_i, "02 01 00 02 91 31 0D", 1.0},
        {kColour, -1_i, "02 01 00 02 91 2D 31 0D", -1.0},
        {kColour, 1.5, "02 01 00 02 91 31 2E 35 0D", 1.5},
        {kColour, " 2 ", "02 01 00 02 91 32 0D", 2.0},
        {kColour, "3,5", "02 01 00 02 91 33 0D", 3.0},
        {kColour, "abc", "02 01 00 02 91 30 0D", 0.0},
        {kColour, Variant(), "02 01 00 02 91 30 0D", 0.0},
        // Video counter: read by position, seconds first.
        {&clsvyx7::videoteller, "01:02:03", "02 03 00 02 24 03 02 01 0D"},
        {&clsvyx7::videoteller, "1:2:3", "02 03 00 02 24 00 00 01 0D"},
        {&clsvyx7::videoteller, "", "02 03 00 02 24 00 00 00 0D"},
        // Text: two bytes a character of code page 1252, "?" for what the page lacks.
        {kText, "AB", "02 04 00 02 A1 41 00 42 00 0D"},
        {kText, "", "02 00 00 02 A1 0D"},
        {kText, " A ", "02 06 00 02 A1 20 00 41 00 20 00 0D"},
        {kText, "é€", "02 04 00 02 A1 E9 00 80 00 0D"},
        {kText, "中", "02 02 00 02 A1 3F 00 0D"},
        {kText, 5_i, "02 02 00 02 A1 35 00 0D"},
        {kSystemField, 5_i, "02 01 00 02 A2 05 0D"},
        {kSystemField, "2.5", "02 01 00 02 A2 02 0D"},
        // Windows: X and Y in units of 15, below 0 as 0, halves to even; the code's leading number.
        {kWindow, "2|3|96", "02 04 00 02 60 1E 00 2D 00 0D"},
        {kWindow, "2|3|96|9", "02 04 00 02 60 1E 00 2D 00 0D"},
        {kWindow, "-4|7|130", "02 04 00 02 82 00 00 69 00 0D"},
        {kWindow, "24|16|96abc", "02 04 00 02 60 68 01 F0 00 0D"},
        {kWindow, "2.5|0|96", "02 04 00 02 60 26 00 00 00 0D"},
        {kWindow, "4369|0|96", "02 04 00 02 60 FF FF 00 00 0D"},
    });
}

TEST_F(WritesTest, ConversionFailuresSendNothing) {
    const std::vector<Refused> cases{
        {kAfstand, 3276.8, ErrorNumber::Overflow},
        {kAfstand, -0.1, ErrorNumber::InvalidArgument},
        {kAfstand, "12,3", ErrorNumber::TypeMismatch},  // not the host format here
        {kAfstand2, 1677721.6, ErrorNumber::InvalidArgument},
        {kAfstand2, 25.55, ErrorNumber::InvalidArgument},  // remainder 255.5 becomes 256
        {kAfstand2, -0.1, ErrorNumber::InvalidArgument},
        {&clsvyx7::foto_nummer, 65536, ErrorNumber::InvalidArgument},
        {&clsvyx7::foto_nummer, "x", ErrorNumber::TypeMismatch},
        {&clsvyx7::schrijf_2byte_waarde, "1000|40000", ErrorNumber::Overflow},
        {&clsvyx7::schrijf_commando, "5", ErrorNumber::SubscriptOutOfRange},
        {&clsvyx7::schrijf_commando, "5|63abc", ErrorNumber::TypeMismatch},
        {&clsvyx7::schrijf_commando, "256|63", ErrorNumber::InvalidArgument},
        {&clsvyx7::schrijf_commando, "5|300", ErrorNumber::InvalidArgument},
        {&clsvyx7::waarde_schrijven, "5", ErrorNumber::SubscriptOutOfRange},
        {&clsvyx7::eenheid_lc1, "abc", ErrorNumber::TypeMismatch},
        {&clsvyx7::tijd, "14|03-12-2026", ErrorNumber::SubscriptOutOfRange},
        {&clsvyx7::tijd, "14:05|03-12", ErrorNumber::SubscriptOutOfRange},
        {&clsvyx7::tijd, "14:xx|03-12-2026", ErrorNumber::TypeMismatch},
        {&clsvyx7::tijd, "14:05|03-12-1999", ErrorNumber::InvalidArgument},
        {&clsvyx7::tijd, "14:05|03-12-2256", ErrorNumber::InvalidArgument},
        {&clsvyx7::videoteller, "-1:00:00", ErrorNumber::InvalidArgument},
        {kText, std::string(32768, 'x'), ErrorNumber::InvalidArgument},
        {kSystemField, 256_i, ErrorNumber::InvalidArgument},
        {kWindow, "2|3", ErrorNumber::SubscriptOutOfRange},
        {kWindow, "x|3|96", ErrorNumber::TypeMismatch},
        {kWindow, "4370|0|96", ErrorNumber::InvalidArgument},  // 65550 does not fit 16 bits
        {kWindow, "2|3|300", ErrorNumber::InvalidArgument},
    };
    for (const auto& c : cases) {
        Variant arg = c.in;
        EXPECT_EQ(error_of([&] { ((*de).*c.member)(arg); }), c.error) << c.in.to_text();
    }
    EXPECT_TRUE(port->frames().empty());
}

TEST_F(WritesTest, DecimalCommaHost) {
    set_host_decimal_separator(',');
    expect_sent({
        {kAfstand, "12,3", "02 04 00 02 23 7B 00 00 00 0D", 123_i},
        {kAfstand2, "7000,5", "02 04 00 02 27 75 11 01 00 0D", 70005.0},
        {&clsvyx7::schrijf_commando, "2,5|63,4", "02 01 00 02 3F 02 0D"},
        // The code's leading number stops at the comma whatever the host format.
        {&clsvyx7::waarde_schrijven, "5|63,6", "02 01 00 02 3F 05 0D"},
        {&clsvyx7::tijd, "14:05|03-12-2026", "02 05 00 02 20 05 0E 03 0C 1A 0D"},
        {kWindow, "2,5|3|96", "02 04 00 02 60 26 00 2D 00 0D"},
    });
    Variant value("2.5|63"), window("2.5|3|96");
    EXPECT_EQ(error_of([&] { de->schrijf_commando(value); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([&] { de->venster_zetten(window); }), ErrorNumber::TypeMismatch);
}

TEST_F(WritesTest, HooglaagSplitsWithoutSending) {
    const std::tuple<Variant, double, double> cases[] = {
        {255_i, 0, 255}, {256_i, 1, 0}, {65535, 255, 255}, {-1_i, -1, 255}, {"1000", 3, 232}};
    for (const auto& [w, high, low] : cases) {
        Variant waarde = w, hoog, laag;
        de->hooglaag(waarde, hoog, laag);
        EXPECT_EQ(hoog, Variant(high)) << w.to_text();
        EXPECT_EQ(laag, Variant(low)) << w.to_text();
    }
    for (double w = -70000.25; w < 70000; w += 37.75) {  // laag + 256 * hoog == Waarde
        Variant waarde(w), hoog, laag;
        de->hooglaag(waarde, hoog, laag);
        const double h = hoog.double_value(), l = laag.double_value();
        EXPECT_TRUE(h == std::floor(h) && l >= 0 && l < 256 && l + 256 * h == w) << w;
        EXPECT_EQ(waarde, Variant(w));
    }
    EXPECT_TRUE(port->frames().empty());
}

TEST_F(WritesTest, SystemTextFollowsEvenARefusedSelection) {
    Variant text("AB");
    port->answer(Answer{{1ms, bytes("15")}});
    de->schrijf_systeemtekstveld(text);
    EXPECT_EQ(sent(), (Frames{"02 01 00 02 A2 01 0D", "02 04 00 02 A1 41 00 42 00 0D"}));
}

TEST_F(WritesTest, ZetTekstTrimsWritesBackAndCountsCharacters) {
    Variant tekst("  Hallo  "), veld(std::int16_t{130});
    de->ZetTekst(tekst, veld);
    EXPECT_EQ(tekst, Variant("Hallo"));
    Variant long_text(std::string(300, 'x')), code("107abc");
    de->ZetTekst(long_text, code);
    Variant blanks("   "), tie(130.5);
    de->ZetTekst(blanks, tie);
    EXPECT_EQ(blanks, Variant(""));

    const Frames frames = sent();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], "02 05 00 02 82 48 00 61 00 6C 00 6C 00 6F 00 0D");
    // The length words count characters (300); the data still has two bytes each.
    EXPECT_EQ(frames[1].substr(0, 14), "02 2C 01 02 6B");
    EXPECT_EQ(port->frames()[1].size(), 6u + 600u);
    EXPECT_EQ(frames[2], "02 00 00 02 82 0D");
}

TEST_F(WritesTest, ZettekstXYClampsTheFieldAndWritesItBack) {
    const std::tuple<Variant, std::string, Variant> cases[] = {
        {std::int16_t{0}, "01", std::int16_t{1}},
        {std::int16_t{20}, "10", std::int16_t{16}},
        {"abc", "01", std::int16_t{1}},
        {" 16 ", "10", " 16 "},
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
