// Text fields, the system text line and window placement.
#include <gtest/gtest.h>

#include <functional>

#include "platform/conversions.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using Frames = std::vector<std::string>;

class TextTest : public ControllerTest {
protected:
    void SetUp() override {
        set_host_decimal_separator('.');
        open();
        acknowledge_everything();
    }
    Frames sent() const {
        Frames out;
        for (const auto& frame : port->frames()) out.push_back(hex(frame));
        return out;
    }
    void expect_error(ErrorNumber number, const std::function<void()>& call) {
        const auto before = port->frames().size();
        EXPECT_EQ(error_of(call), number);
        EXPECT_EQ(port->frames().size(), before);
    }
};

TEST_F(TextTest, TextFieldTwoBytesPerCharacter) {
    const std::pair<Variant, std::string> cases[] = {
        {"AB", "02 04 00 02 A1 41 00 42 00 0D"},
        {"", "02 00 00 02 A1 0D"},
        {" A ", "02 06 00 02 A1 20 00 41 00 20 00 0D"},  // blanks go out too
        {"é€", "02 04 00 02 A1 E9 00 80 00 0D"},         // code page 1252
        {"中", "02 02 00 02 A1 3F 00 0D"},               // not in the page
        {std::int16_t{5}, "02 02 00 02 A1 35 00 0D"}};
    for (const auto& [text, frame] : cases) {
        Variant t = text;
        de->schrijf_tekst_veld(t);
        EXPECT_EQ(hex(port->frames().back()), frame) << text.to_text();
    }
    for (const auto& [characters, length] :
         {std::pair<std::size_t, std::string>{128, "00 01"}, {32767, "FE FF"}}) {
        Variant t(std::string(characters, 'x'));
        de->schrijf_tekst_veld(t);
        const std::string frame = port->frames().back();
        EXPECT_EQ(hex(frame.substr(1, 2)), length);
        EXPECT_EQ(frame.size(), 6 + 2 * characters);
    }
    Variant too_long(std::string(32768, 'x'));
    expect_error(ErrorNumber::InvalidArgument, [&] { de->schrijf_tekst_veld(too_long); });
}

TEST_F(TextTest, SystemTextField) {
    Variant five(std::int16_t{5}), tie("2.5"), too_big(std::int16_t{256}), text("AB");
    de->kies_systeemtekstveld(five);
    de->kies_systeemtekstveld(tie);
    expect_error(ErrorNumber::InvalidArgument, [&] { de->kies_systeemtekstveld(too_big); });
    port->answer(Answer{{1ms, bytes("15")}});  // the selection is refused; the text still follows
    de->schrijf_systeemtekstveld(text);
    EXPECT_EQ(sent(), (Frames{"02 01 00 02 A2 05 0D", "02 01 00 02 A2 02 0D",
                              "02 01 00 02 A2 01 0D", "02 04 00 02 A1 41 00 42 00 0D"}));
}

TEST_F(TextTest, ZetTekstTrimsWritesBackAndCountsCharacters) {
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

TEST_F(TextTest, ZettekstXYClampsTheFieldAndWritesItBack) {
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

TEST_F(TextTest, WindowPositionsInUnitsOfFifteen) {
    const std::pair<Variant, std::string> cases[] = {
        {"2|3|96", "02 04 00 02 60 1E 00 2D 00 0D"},
        {"2|3|96|9", "02 04 00 02 60 1E 00 2D 00 0D"},
        {"-4|7|130", "02 04 00 02 82 00 00 69 00 0D"},
        {"24|16|96abc", "02 04 00 02 60 68 01 F0 00 0D"},
        {"2.5|0|96", "02 04 00 02 60 26 00 00 00 0D"},  // 37.5: halves to even
        {"4369|0|96", "02 04 00 02 60 FF FF 00 00 0D"}};
    for (const auto& [text, frame] : cases) {
        Variant s = text;
        de->venster_zetten(s);
        EXPECT_EQ(hex(port->frames().back()), frame) << text.to_text();
    }
    const std::pair<Variant, ErrorNumber> failures[] = {
        {"2|3", ErrorNumber::SubscriptOutOfRange},
        {"x|3|96", ErrorNumber::TypeMismatch},
        {"4370|0|96", ErrorNumber::InvalidArgument},  // 65550 does not fit 16 bits
        {"2|3|300", ErrorNumber::InvalidArgument}};
    for (const auto& [text, error] : failures) {
        Variant s = text;
        SCOPED_TRACE(text.to_text());
        expect_error(error, [&] { de->venster_zetten(s); });
    }
    set_host_decimal_separator(',');
    Variant comma("2,5|3|96"), point("2.5|3|96");
    de->venster_zetten(comma);
    EXPECT_EQ(hex(port->frames().back()), "02 04 00 02 60 26 00 2D 00 0D");
    expect_error(ErrorNumber::TypeMismatch, [&] { de->venster_zetten(point); });
}

TEST_F(TextTest, ClosedPortSendsNothing) {
    close();
    Variant text("AB"), x(std::int16_t{3}), y;
    EXPECT_NO_THROW(de->zettekst_x_y(x, y, text));
    de->dat_leeg();
    EXPECT_TRUE(port->frames().empty());
}

}  // namespace
}  // namespace quarn7::testing
