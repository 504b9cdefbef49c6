// The unit's 4-byte floating-point form: preparing it and reading it from the port.
#include <gtest/gtest.h>

#include <array>

#include "platform/codepage.h"
#include "platform/conversions.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

class FloatingPointTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
    }
    std::string prepared(Variant waarde) {
        Variant opdr;
        de->floating_point_zetten(waarde, opdr);
        return to_cp1252(opdr.string_value());
    }
    Variant read_from(std::string received) {
        port->inject(std::move(received));
        Variant waarde("untouched");
        de->floating_point_lezen(waarde);
        return waarde;
    }
};

TEST_F(FloatingPointTest, PreparesMostSignificantByteFirstAndSendsNothing) {
    const std::pair<Variant, std::string> cases[] = {
        {std::int16_t{1}, "3F 80 00 00"}, {-2.5, "C0 20 00 00"},
        {100.0, "42 C8 00 00"},           {0.1, "3D CC CC CD"},
        {"abc", "00 00 00 00"},           {"1.5e2xyz", "43 16 00 00"}};
    acknowledge_everything();
    de->meterteller_aan();  // code 38, kind 0, lengte_laag 1
    for (const auto& [waarde, expected] : cases) {
        EXPECT_EQ(hex(prepared(waarde)), expected) << waarde.to_text();
    }
    const LinkState s = de->state();
    EXPECT_EQ((std::array<int, 4>{s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog}),
              (std::array<int, 4>{38, 0, 4, 0}));
    EXPECT_EQ(port->frames().size(), 1u);

    set_host_decimal_separator(',');
    EXPECT_EQ(hex(prepared("2,5")), "40 00 00 00");  // the parse stops at the comma: 2
}

TEST_F(FloatingPointTest, ReadsTheFourBytesBeforeTheLast) {
    const std::pair<std::string, Variant> cases[] = {
        {"42 C8 00 00 0D", 100.0},      {"06 42 C8 00 00 0D", 100.0},
        {"3E 00 00 00 0D", 0.12},        // 0.125: 12.5 goes to the even 12
        {"41 45 87 E6 0D", 12.35},       // 12.345678
        {"C4 7A 00 00 0D", -1000.0},     // the bounds count as inside
        {"44 7A 00 02 0D", 1000.0},      // 1000.0001 shows as 1000: the shown value counts
        {"44 7A 00 10 0D", "1000.001"},  // above: the seven-digit text stays
        {"44 9A 50 00 0D", "1234.5"},
    };
    for (const auto& [received, expected] : cases) {
        EXPECT_EQ(read_from(bytes(received)), expected) << received;
        EXPECT_EQ(port->InBufferCount(), 0);
    }
    set_host_decimal_separator(',');
    EXPECT_EQ(read_from(bytes("44 9A 50 00 0D")), Variant("1234,5"));
    EXPECT_EQ(read_from(bytes("41 45 87 E6 0D")), Variant(12.35));
}

TEST_F(FloatingPointTest, TooFewBytesGiveZeroAndAMessageWhileDiagnosticsAreOn) {
    EXPECT_EQ(read_from(bytes("42 C8 00 00")), Variant(std::int16_t{0}));
    EXPECT_TRUE(messages.empty());
    diagnostics_on();
    EXPECT_EQ(read_from(bytes("42 C8 00")), Variant(std::int16_t{0}));
    EXPECT_EQ(messages, std::vector<std::string>{"Floating point not enough data:  3"});
}

TEST_F(FloatingPointTest, PortErrorsReachTheCaller) {
    close();
    Variant waarde;
    EXPECT_EQ(error_of([&] { de->floating_point_lezen(waarde); }), ErrorNumber::PortNotOpen);
}

// Two-decimal values within a thousand come back exactly; beyond it the seven-digit text.
TEST_F(FloatingPointTest, RoundTripsThroughTheUnitsForm) {
    for (int hundredths = -100000; hundredths <= 100000; hundredths += 317) {
        const double value = hundredths / 100.0;
        EXPECT_EQ(read_from(prepared(value) + "\r"), Variant(value)) << value;
    }
    const std::pair<double, const char*> beyond[] = {
        {1000.25, "1000.25"}, {-4096.5, "-4096.5"}, {123456.7, "123456.7"}, {8388607, "8388607"}};
    for (const auto& [value, text] : beyond) {
        EXPECT_EQ(read_from(prepared(value) + "\r"), Variant(text)) << value;
    }
}

}  // namespace
}  // namespace quarn7::testing
