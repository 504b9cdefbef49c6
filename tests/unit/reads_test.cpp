// Reads: the request each member sends and what it makes of the decoded reply; and the unit's
// 4-byte floating-point form, prepared and read from the port.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "commands/command_helpers.h"
#include "protocol/frame.h"
#include "platform/codepage.h"
#include "platform/conversions.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

const Variant kEmptyText{std::string()};

class ReadsTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
    }
    // The unit answers every request with a reply carrying `data`; "" for no answer at all.
    void reply(std::string hex_data) {
        port->answer_with([data = bytes(hex_data), silent = hex_data.empty()](const std::string&) {
            return silent ? Answer{} : Answer{{1ms, wire::read_reply(data)}};
        });
    }
    std::string item_sent() const { return hex(port->frames().back().substr(4, 1)); }
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

TEST_F(ReadsTest, FixedItems) {
    Variant ignored;  // the tekst readers do not look at it
    const std::tuple<std::function<Variant()>, std::string, std::string, Variant> reads[] = {
        {[&] { return de->afstand(); }, "10 27 00 00", "2B", 1000.0},
        {[&] { return de->afstand2(); }, "D2 04", "2C", 123.4},
        {[&] { return de->helling_instant(); }, "29 23", "2D", -565.35},
        {[&] { return de->helling_instant_ana(); }, "D2 04", "2E", 12.34},
        {[&] { return de->revisie(ignored), ignored; }, "01 02 03 04", "32", " 1: 2: 3: 4"},
        {[&] { return de->constante_zelmar5(ignored), ignored; }, "01 00 02 00 03 00", "3B",
         " 1: 2: 3"}};
    for (const auto& [read, data, item, expected] : reads) {
        reply(data);
        ignored = Variant("12");
        EXPECT_EQ(read(), expected) << item;
        EXPECT_EQ(hex(port->frames().back()), "02 00 00 01 " + item + " 0D");
    }
    Variant tekst("12");
    EXPECT_TRUE(de->revisie(tekst).is_empty());
}

TEST_F(ReadsTest, LeesWaardeScalesTiltAndTenthsItems) {
    const std::tuple<std::int16_t, std::string, Variant> cases[] = {
        {45, "00 00", 0.0},     {45, "D2 04", 12.34},
        {45, "28 23", 90.0},    {45, "29 23", -565.35},
        {45, "FF FF", -0.01},   {46, "29 23", -565.35},
        {60, "D2 04", 123.4},   {63, "D2 04", 123.4},
        {64, "FF FF", 6553.5},  {33, "C8", Variant(std::int16_t{200})},
        {61, "D2 04", " 1234"}, {52, "00", "Geen Logo"},
        {45, "", kEmptyText},   {46, "", kEmptyText},
        {63, "", kEmptyText}};
    for (const auto& [item, data, expected] : cases) {
        reply(data);
        Variant tekst(item);
        EXPECT_TRUE(de->lees_waarde(tekst).is_empty());
        EXPECT_EQ(tekst, expected) << item << ": " << data << " gave " << tekst.to_text();
    }
}

TEST_F(ReadsTest, LeesDataAndLeesTijdHandBackTheDecodedReply) {
    reply("0E 23 03 0C 18");
    Variant by_data(std::int16_t{41});
    Variant by_time(std::int16_t{41});
    EXPECT_TRUE(de->lees_data(by_data).is_empty());
    EXPECT_TRUE(de->lees_tijd(by_time).is_empty());
    EXPECT_EQ(by_data, Variant(" 35: 14  3/ 12/ 24"));
    EXPECT_EQ(by_time, by_data);
    reply("29 23");
    Variant tilt(std::int16_t{45});
    de->lees_data(tilt);
    EXPECT_EQ(tilt, Variant(" 9001"));  // only lees_waarde scales
}

TEST_F(ReadsTest, SilenceGivesEmptyTextOrZero) {
    reply("");
    EXPECT_EQ(de->helling_instant(), kEmptyText);
    EXPECT_EQ(de->afstand(), Variant(0.0));
    EXPECT_EQ(de->afstand2(), Variant(0.0));
}

TEST_F(ReadsTest, ANonNumericReplyWhereANumberIsNeededIsATypeMismatch) {
    reply("2C");  // one byte: item 45 leaves the read echo
    Variant tekst(std::int16_t{45});
    EXPECT_EQ(error_of([&] { de->lees_waarde(tekst); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(tekst, Variant("22D1000D"));
}

TEST_F(ReadsTest, ItemNumberIsTheLeadingNumberOfTekst) {
    reply("");
    const std::pair<Variant, std::string> cases[] = {
        {"45abc", "2D"}, {45.5, "2E"}, {44.5, "2C"}, {" 32", "20"}, {"abc", "00"}};
    for (const auto& [in, item] : cases) {
        Variant tekst = in;
        de->lees_data(tekst);
        EXPECT_EQ(item_sent(), item) << in.to_text();
    }
    set_host_decimal_separator(',');
    Variant half(45.5);  // shown as "45,5": the leading number is 45
    de->lees_data(half);
    EXPECT_EQ(item_sent(), "2D");
}

TEST_F(ReadsTest, ABadItemNumberFailsBeforeAnythingIsSent) {
    const std::pair<Variant, ErrorNumber> cases[] = {
        {40000, ErrorNumber::Overflow},
        {"99999", ErrorNumber::Overflow},
        {std::int16_t{300}, ErrorNumber::InvalidArgument}};
    for (const auto& [in, error] : cases) {
        Variant tekst = in;
        EXPECT_EQ(error_of([&] { de->lees_waarde(tekst); }), error) << in.to_text();
    }
    EXPECT_TRUE(port->frames().empty());
}

TEST(ReplyReadings, CommaAndHostFormat) {
    for (char separator : {'.', ','}) {  // the counters' parse ignores the host format
        set_host_decimal_separator(separator);
        EXPECT_EQ(counter1_reading(Variant("12,5")), 1.25) << separator;
        EXPECT_EQ(counter2_reading(Variant("12,5")), 1.2) << separator;
        EXPECT_EQ(counter1_reading(kEmptyText), 0) << separator;
    }
    EXPECT_EQ(scaled_reading(Variant("12,5"), ItemScaling::Tenths), Variant(1.25));
    EXPECT_THROW(scaled_reading(Variant("12.5"), ItemScaling::Tenths), Error);
    set_host_decimal_separator('.');
    EXPECT_EQ(scaled_reading(Variant("12.5"), ItemScaling::Tenths), Variant(1.25));
    EXPECT_EQ(scaled_reading(Variant("-5"), ItemScaling::Tilt), Variant(-655.41));
    EXPECT_EQ(scaled_reading(Variant("  "), ItemScaling::Tilt), Variant("  "));
    EXPECT_THROW(scaled_reading(Variant("abc"), ItemScaling::Tilt), Error);
}

TEST_F(ReadsTest, FloatingPointPreparesMostSignificantByteFirstAndSendsNothing) {
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

TEST_F(ReadsTest, FloatingPointReadsTheFourBytesBeforeTheLast) {
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

TEST_F(ReadsTest, FloatingPointTooFewBytesGiveZeroAndAMessageWhileDiagnosticsAreOn) {
    EXPECT_EQ(read_from(bytes("42 C8 00 00")), Variant(std::int16_t{0}));
    EXPECT_TRUE(messages.empty());
    diagnostics_on();
    EXPECT_EQ(read_from(bytes("42 C8 00")), Variant(std::int16_t{0}));
    EXPECT_EQ(messages, std::vector<std::string>{"Floating point not enough data:  3"});
}

TEST_F(ReadsTest, FloatingPointPortErrorsReachTheCaller) {
    close();
    Variant waarde;
    EXPECT_EQ(error_of([&] { de->floating_point_lezen(waarde); }), ErrorNumber::PortNotOpen);
}

// Two-decimal values within a thousand come back exactly; beyond it the seven-digit text.
TEST_F(ReadsTest, FloatingPointRoundTripsThroughTheUnitsForm) {
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
