// The do-commands without arguments and the colour write that stands among them.
#include "commands/switch_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "link/wire.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

struct SwitchMember {
    std::string_view name;
    void (clsvyx7::*call)();
};

constexpr SwitchMember kMembers[] = {
#define QUARN7_MEMBER_ROW(member, code, lengte_laag) {#member, &clsvyx7::member},
    QUARN7_SWITCH_COMMANDS(QUARN7_MEMBER_ROW)
#undef QUARN7_MEMBER_ROW
};

class SwitchTest : public ControllerTest {
  protected:
    void SetUp() override {
        open();
        acknowledge_everything();
    }
    void call(std::string_view name) {
        for (const auto& m : kMembers) {
            if (m.name == name) return ((*de).*m.call)();
        }
        FAIL() << "no member " << name;
    }
};

TEST(SwitchTable, SeventySevenCommandsToldApartByCodeAndLength) {
    std::set<std::string_view> names;
    std::set<std::pair<int, int>> commands;
    for (const auto& row : kSwitchCommands) {
        names.insert(row.member);
        commands.insert({row.code, row.lengte_laag});
    }
    EXPECT_EQ(names.size(), 77u);
    EXPECT_EQ(commands.size(), 77u);  // 131, 132 and 134 twice, with lengte_laag 0 and 1
    EXPECT_EQ(find_switch_command("kruisdraden_uit")->lengte_laag, 1);
    EXPECT_EQ(find_switch_command("overlay_wit_zwart")->lengte_laag, 0);
    EXPECT_EQ(find_switch_command("overlay_wit_zwart_wissel"), nullptr);  // a write, no row
}

// Every row through its own member, after a text write left other words behind: one frame of
// exactly its words, and all four words replaced.
TEST_F(SwitchTest, EveryRowSendsItsSevenByteFrame) {
    Variant long_text(std::string(128, 'a'));
    for (const auto& row : kSwitchCommands) {
        SCOPED_TRACE(row.member);
        de->schrijf_tekst_veld(long_text);  // kind 2, code 161, lengte_hoog 1
        const auto before = port->frames().size();
        call(row.member);
        const std::string expected{wire::STX, static_cast<char>(row.lengte_laag), 0,
                                   0,         static_cast<char>(row.code),        0,
                                   wire::CR};
        ASSERT_EQ(port->frames().size(), before + 1);
        EXPECT_EQ(hex(port->frames().back()), hex(expected));
        const LinkState s = de->state();
        using Words = std::array<int, 4>;
        EXPECT_EQ((Words{s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog}),
                  (Words{row.code, 0, row.lengte_laag, 0}));
    }
}

TEST_F(SwitchTest, WorkedFrames) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"meterteller_aan", "02 01 00 00 26 00 0D"},
        {"cursor_aan", "02 00 00 00 60 00 0D"},
        {"bevestig_stikstof", "02 01 00 00 7F 00 0D"},
        {"temperatuurbeeld_uit", "02 01 00 00 97 00 0D"},
        {"kruisdraden_uit", "02 01 00 00 83 00 0D"},
        {"overlay_wit_zwart", "02 00 00 00 83 00 0D"},
        {"hint_venster_aan", "02 01 00 00 86 00 0D"},
        {"regel_wissen", "02 00 00 00 86 00 0D"}};
    for (const auto& [member, frame] : cases) {
        call(member);
        EXPECT_EQ(hex(port->frames().back()), frame) << member;
    }
}

TEST_F(SwitchTest, ColourWriteSendsTheNumberAsTextAndWritesItBack) {
    const std::tuple<Variant, std::string_view, double> cases[] = {
        {std::int16_t{1}, "31", 1}, {std::int16_t{0}, "30", 0}, {std::int16_t{-1}, "2D 31", -1},
        {1.5, "31 2E 35", 1.5},     {"abc", "30", 0},           {" 2 ", "32", 2},
        {"3,5", "33", 3},           {Variant(), "30", 0}};
    for (const auto& [in, data, out] : cases) {
        Variant kleur = in;
        de->overlay_wit_zwart_wissel(kleur);
        // lengte_laag stays 1 however long the text is.
        EXPECT_EQ(hex(port->frames().back()), "02 01 00 02 91 " + std::string(data) + " 0D");
        EXPECT_EQ(kleur, Variant(out)) << in.to_text();
    }
    de->num_draaihoek_beeld_uit();  // the same code as a do-command
    EXPECT_EQ(hex(port->frames().back()), "02 01 00 00 91 00 0D");
}

}  // namespace
}  // namespace quarn7::testing
