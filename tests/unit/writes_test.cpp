// Value writes, the colour and hooglaag: value bytes, codes, write-backs and conversion failures.
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
    });
    Variant point_text("2.5|63");
    EXPECT_THROW(de->schrijf_commando(point_text), Error);
}

TEST_F(WritesTest, ByteValuesRoundHalvesToEven) {
    for (int n = 0; n < 255; ++n) {
        Variant half(n + 0.5);
        de->eenheid_lc1(half);
        EXPECT_EQ(static_cast<unsigned char>(port->frames().back()[5]), n % 2 == 0 ? n : n + 1);
    }
}

TEST_F(WritesTest, DistanceTwoCoversTwentyFourBits) {
    for (std::int64_t tenths = 0; tenths < (1 << 24) + 100000; tenths += 5 * 9973) {
        Variant value(static_cast<double>(tenths) / 10);  // halves: exact once scaled
        if (tenths >= (1 << 24)) {
            EXPECT_THROW(de->afstand2(value), Error) << tenths;
            continue;
        }
        de->afstand2(value);
        const std::string expected{static_cast<char>(tenths), static_cast<char>(tenths >> 8),
                                   static_cast<char>(tenths >> 16), 0};
        EXPECT_EQ(hex(port->frames().back().substr(5, 4)), hex(expected)) << tenths;
    }
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

}  // namespace
}  // namespace quarn7::testing
