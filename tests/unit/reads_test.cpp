// Reads: the request each member sends and what it makes of the decoded reply.
#include <gtest/gtest.h>

#include <functional>

#include "commands/command_helpers.h"
#include "link/wire.h"
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

}  // namespace
}  // namespace quarn7::testing
