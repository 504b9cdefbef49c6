// Reads: item replies on the wire and decoded, each read member, the unit's floating-point form.
#include <gtest/gtest.h>

#include <functional>

#include "commands/command_helpers.h"
#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "platform/codepage.h"
#include "platform/conversions.h"
#include "support/scripted_port.h"
#include "support/protocol.h"

namespace quarn7::testing {
namespace {

const Variant kEmptyText{std::string()};

TEST(Wire, RepliesDecodeByItemAndFramesHoldOnlyBytes) {
    const std::tuple<int, const char*, std::optional<Variant>> rows[] = {  // nullopt: the echo
        {32, "D0 02 40 02", " 720x 576"}, {33, "C8", Variant(std::int16_t{200})},
        {35, "00", Variant(std::int16_t{0})}, {36, "00", "Uit"}, {54, "01", "Aan"},
        {38, "00", "NTSC"}, {38, "01", "PAL"}, {40, "31 32 33 34 35", "1:2 3/4/5"},
        {43, "10 27 00 01", "4294977296"}, {44, "E8 03", "1000"}, {64, "FF FF", " 65535"},
        {51, "4F 4B 21", "O:K:!"}, {51, "E9 B0 41", "\xC3\xA9:\xC2\xB0:A"}, {52, "03", "Logo: 3"},
        {58, "02", "cm"}, {58, "03", "ft"}, {58, "04", "meter"}, {62, "07", " 7"},
        // No meaning, a 16-bit item sent one byte, unlisted items (41, 45, 50, 59: members' reads)
        {36, "02", {}}, {38, "05", {}}, {58, "01", {}}, {45, "2C", {}},
        {42, "01 02", {}}, {47, "01", {}}, {31, "01", {}}, {65, "01 02", {}}, {200, "01", {}}};
    for (const auto& [item, data, expected] : rows)
        EXPECT_EQ(decode_reply(item, bytes(data), bytes(data).size()), expected) << item << data;
    EXPECT_EQ(error_of([] { decode_reply(32, bytes("00 80 40 02"), 4); }), ErrorNumber::Overflow);
    // Every item decodes a full reply. One byte short, a rule on bytes fails on the missing byte;
    // one on characters (40, 51) gives a shorter text. 1 means something to all but 58 (units).
    for (const auto& [item, length] : kDocumentedItems) {
        const std::string full(static_cast<std::size_t>(length), item == 58 ? '\x02' : '\x01');
        const auto decoded = [&](int cut) { return decode_reply(item, full.substr(cut), length); };
        ASSERT_NE(decoded(0), std::nullopt) << item;
        if (item == 40 || item == 51) {
            EXPECT_LT(decoded(1)->to_text().size(), decoded(0)->to_text().size()) << item;
        } else {
            EXPECT_EQ(error_of([&] { decoded(1); }), ErrorNumber::InvalidArgument) << item;
        }
    }
    const std::string announced_300 = bytes("06 02 2C 01") + std::string(300, 'x') + "\r";
    EXPECT_EQ(wire::reply_length(announced_300), 100u);  // capped
    EXPECT_EQ(wire::reply_data(announced_300).size(), 100u);
    EXPECT_EQ(wire::reply_length(bytes("06 02 04 00 10")), 4u);  // cut short: what arrived
    EXPECT_EQ(hex(wire::reply_data(bytes("06 02 04 00 10"))), "10");
    EXPECT_EQ(wire::write_echo({161, 2, 4, 0}, std::string("A\0B\0", 4)), "2A1240A B D");
    for (const wire::CommandWords words :
         {wire::CommandWords{256, 0, 1, 0}, {38, 0, 300, 0}, {38, 0, 1, -1}, {38, 3000, 1, 0}})
        EXPECT_EQ(error_of([&] { wire::do_command_frame(words); }), ErrorNumber::InvalidArgument);
}

class ReadsTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
    }
    void reply(const std::string& hex_data) {  // to every request; "" for no answer at all
        const std::string d = bytes(hex_data);
        port->answer_with(d.empty() ? Respond{} : answer_every_frame([=](int) { return d; }));
    }
    std::string prepared(Variant waarde, Variant opdr = {}) {
        de->floating_point_zetten(waarde, opdr);
        return to_cp1252(opdr.string_value());
    }
    Variant read_from(const std::string& received, Variant waarde = Variant("untouched")) {
        port->inject(received);
        de->floating_point_lezen(waarde);
        return waarde;
    }
};

// lees_waarde and the fixed members scale tilt and tenths; lees_data and lees_tijd do not. Members
// with tekst return Empty, the result in tekst; revisie and constante_zelmar5 ignore its "12".
TEST_F(ReadsTest, MembersRequestTheirItemAndReturnOnlyWhatAReplyMeans) {
    using Read = std::function<Variant(clsvyx7&, Variant&)>;
    const Read w = &clsvyx7::lees_waarde, d = &clsvyx7::lees_data, t = &clsvyx7::lees_tijd;
    const Read afstand = [](clsvyx7& c, Variant&) { return c.afstand(); };
    const Read afstand2 = [](clsvyx7& c, Variant&) { return c.afstand2(); };
    const Read helling = [](clsvyx7& c, Variant&) { return c.helling_instant(); };
    const Variant date(" 35: 14  3/ 12/ 24");
    const std::tuple<Read, int, const char*, Variant> cases[] = {
        {w, 45, "D2 04", 12.34}, {w, 45, "28 23", 90.0}, {w, 46, "29 23", -565.35},
        {w, 60, "D2 04", 123.4}, {w, 63, "D2 04", 123.4}, {w, 64, "FF FF", 6553.5},
        {w, 61, "D2 04", " 1234"}, {w, 52, "00", "Geen Logo"}, {w, 63, "", kEmptyText},
        {d, 45, "29 23", " 9001"}, {t, 41, "0E 23 03 0C 18", date}, {d, 41, "0E 23 03 0C 18", date},
        {afstand, 43, "10 27 00 00", 1000.0}, {afstand, 43, "", 0.0},
        {afstand2, 44, "D2 04", 123.4}, {afstand2, 44, "", 0.0}, {helling, 45, "29 23", -565.35},
        {helling, 45, "", kEmptyText}, {&clsvyx7::revisie, 50, "01 02 03 04", " 1: 2: 3: 4"},
        {&clsvyx7::constante_zelmar5, 59, "01 00 02 00 03 00", " 1: 2: 3"},
        {[](clsvyx7& c, Variant&) { return c.helling_instant_ana(); }, 46, "D2 04", 12.34}};
    for (const auto& [read, item, data, expected] : cases) {
        reply(data);
        Variant tekst = item == 50 || item == 59 ? Variant("12") : Variant(std::int16_t(item));
        const Variant returned = read(*de, tekst);
        EXPECT_EQ(returned.is_empty() ? tekst : returned, expected) << item << ": " << data;
        EXPECT_EQ(hex(port->frames().back()), read_request(item));
    }
    close();  // without a reply nothing is made up from the echo; lees_* keep it
    Variant tilt(std::int16_t{45}), tenths(std::int16_t{60});
    de->lees_waarde(tilt);
    de->lees_waarde(tenths);
    EXPECT_EQ(std::tuple(de->afstand(), de->afstand2(), de->helling_instant(),
                         de->helling_instant_ana(), tilt, tenths),
              std::tuple(Variant(0.0), Variant(0.0), kEmptyText, kEmptyText, Variant("22D1000D"),
                         Variant("23C1000D")));
}

TEST_F(ReadsTest, ItemNumberIsTheLeadingNumberOfTekstAndABadOneFailsBeforeSending) {
    for (auto [tekst, error] : {std::pair<Variant, ErrorNumber>{40000, ErrorNumber::Overflow},
         {"99999", ErrorNumber::Overflow}, {std::int16_t{300}, ErrorNumber::InvalidArgument}})
        EXPECT_EQ(error_of([&] { de->lees_waarde(tekst); }), error) << tekst.to_text();
    EXPECT_TRUE(port->frames().empty());
    for (auto [separator, tekst, item] : {std::tuple<char, Variant, int>{'.', "45abc", 45},
         {'.', 45.5, 46}, {'.', 44.5, 44}, {'.', " 32", 32}, {'.', "abc", 0}, {',', 45.5, 46},
         {',', "45,5", 45}}) {
        set_host_decimal_separator(separator);  // a number keeps its fraction, a text is parsed
        de->lees_data(tekst);
        EXPECT_EQ(hex(port->frames().back()), read_request(item)) << item;
    }
    reply("2C");  // one byte: item 45 leaves the read echo, which is no number
    Variant tekst(std::int16_t{45});
    EXPECT_EQ(error_of([&] { de->lees_waarde(tekst); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(tekst, Variant("22D1000D"));
}

TEST(ReplyReadings, CountersIgnoreTheHostFormatAndScalingFollowsIt) {
    const Variant comma("12,5");
    for (char separator : {'.', ','}) {
        set_host_decimal_separator(separator);
        EXPECT_EQ(std::tuple(counter1_reading(comma), counter2_reading(comma),
                             counter1_reading(kEmptyText)), std::tuple(1.25, 1.2, 0.0));
    }
    EXPECT_EQ(scaled_reading(Variant("12,5"), ItemScaling::Tenths), Variant(1.25));
    EXPECT_THROW(scaled_reading(Variant("12.5"), ItemScaling::Tenths), Error);
    set_host_decimal_separator('.');
    EXPECT_EQ(scaled_reading(Variant("12.5"), ItemScaling::Tenths), Variant(1.25));
    EXPECT_EQ(scaled_reading(Variant("-5"), ItemScaling::Tilt), Variant(-655.41));
    EXPECT_EQ(scaled_reading(Variant("  "), ItemScaling::Tilt), Variant("  "));
}

// The unit's form, most significant byte first, read from the four bytes before the last. Within
// a thousand as shown (1000.0001: 1000) two decimals, halves to even; beyond, the 7-digit text.
TEST_F(ReadsTest, FloatingPoint) {
    port->answer_with(answer_every_frame());
    de->meterteller_aan();  // code 38, kind 0, lengte_laag 1
    for (const auto& [waarde, form] : {std::pair<Variant, const char*>{1, "3F 80 00 00"},
         {-2.5, "C0 20 00 00"}, {100.0, "42 C8 00 00"}, {0.1, "3D CC CC CD"},
         {"abc", "00 00 00 00"}, {"1.5e2xyz", "43 16 00 00"}})
        EXPECT_EQ(hex(prepared(waarde)), form) << waarde.to_text();
    const LinkState s = de->state();  // prepared, not sent
    EXPECT_EQ(std::tuple(s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog,
                         port->frames().size()), std::tuple(38, 0, 4, 0, 1u));
    for (int hundredths = -100000; hundredths <= 100000; hundredths += 3917)
        EXPECT_EQ(read_from(prepared(hundredths / 100.0) + "\r"), Variant(hundredths / 100.0));
    const std::pair<const char*, Variant> reads[] = {
        {"06 42 C8 00 00 0D", 100.0}, {"C4 7A 00 00 0D", -1000.0}, {"3E 00 00 00 0D", 0.12},
        {"41 45 87 E6 0D", 12.35}, {"44 7A 00 02 0D", 1000.0}, {"44 7A 00 10 0D", "1000.001"},
        {"C5 80 04 00 0D", "-4096.5"}};
    for (const auto& [in, expected] : reads) EXPECT_EQ(read_from(bytes(in)), expected) << in;
    EXPECT_EQ(port->InBufferCount(), 0);  // a read takes everything waiting
    EXPECT_EQ(read_from(bytes("42 C8 00 00")), Variant(std::int16_t{0}));  // too few bytes
    diagnostics_on();  // the message shows only now
    EXPECT_EQ(read_from(bytes("42 C8 00")), Variant(std::int16_t{0}));
    EXPECT_EQ(messages, std::vector<std::string>{"Floating point not enough data:  3"});
    set_host_decimal_separator(',');
    EXPECT_EQ(hex(prepared("2,5")), "40 00 00 00");  // the parse stops at the comma: 2
    EXPECT_EQ(hex(prepared(1.5)), "3F C0 00 00");    // a number keeps its fraction
    EXPECT_EQ(hex(prepared(16777217.0)), "4B 80 00 00");  // and a Double its digits
    EXPECT_EQ(read_from(bytes("44 9A 50 00 0D")), Variant("1234,5"));
    EXPECT_EQ(read_from(bytes("41 45 87 E6 0D")), Variant(12.35));
    close();  // port errors reach the caller
    EXPECT_EQ(error_of([&] { read_from(""); }), ErrorNumber::PortNotOpen);
}

}  // namespace
}  // namespace quarn7::testing
