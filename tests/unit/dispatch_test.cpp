// The dispatch table: every member of the automation interface in interface order, each entry
// reaching its own member with its arguments by reference; and through it, the exact frame of
// every member that talks to the unit.
#include "quarn7/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/switch_commands.h"
#include "quarn7/clsvyx7.h"
#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "platform/codepage.h"
#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

constexpr auto G = MemberKind::Get;
constexpr auto L = MemberKind::Let;
constexpr auto S = MemberKind::Set;
constexpr auto M = MemberKind::Method;

// The interface's slots in order, ";" between them: name, kind, argument names. A bare name is a
// method without arguments.
constexpr std::string_view kInterfaceOrder = R"(
regel get; regel let value; kolom get; kolom let value; mvarComObject get;
mvarComObject set value; ComObject let value; OpenClose method blnValue; Poort_nummer get;
Poort_nummer let value; settings method test; dat_leeg; floating_point_lezen method Waarde;
floating_point_zetten method Waarde opdr; meterteller_aan; meterteller_uit; meterteller2_aan;
meterteller2_uit; datum_aan; datum_uit; dig_tilt_aan; dig_tilt_uit; ana_tilt_aan; ana_tilt_uit;
foto_aan; foto_uit; tijd_aan; tijd_uit; cursor_aan; cursor_uit; cursor_wissel; videoteller_aan;
videoteller_uit; snelheidsbalk_aan; snelheidsbalk_uit; snelheidsmeter_aan; snelheidsmeter_uit;
systeem_tekst_aan; systeem_tekst_uit; kijkrichtingdisplay_aan; kijkrichtingdisplay_uit;
bedrijfslogo_aan; bedrijfslogo_uit; overlay_aan; overlay_uit; Venster_schaduw_aan;
Venster_schaduw_uit; tekst_schaduw_aan; tekst_schaduw_uit; testpatroon_aan; testpatroon_uit;
reset_DE; overlay_zwart_wit; overlay_wit_zwart; overlay_wit_zwart_wissel method kleur;
regel_wissen; Teller1_0; Teller2_0; Digitale_tilt_0; analoge_tilt_0; Videoteller_0; Fototeller_0;
schermwissen; toetsenbordbediening; softwarebediening; VYX_fabrieksdefault;
automatisch_EEx_logo_aan; automatisch_EEx_logo_uit; kruisdraden_aan; kruisdraden_uit;
positie_cirkel_aan; positie_cirkel_uit; hint_venster_aan; hint_venster_uit; start_diameter_meting;
cancel_1; zet_cirkel_positie; cancel_2; zet_merk_positie; wijzig_lc_teller_richting_aan;
wijzig_lc_teller_richting_uit; num_draaihoek_beeld_aan; num_draaihoek_beeld_uit; hoekmeting_aan;
hoekmeting_uit; meetlijn_aan; meetlijn_uit; temperatuurbeeld_aan; temperatuurbeeld_uit;
automatisch_EEx_temp_logo_aan; automatisch_EEx_temp_logo_uit; bevestig_stikstof; voeruit1;
afstand get; afstand2 get; lees_data get tekst; lees_tijd get tekst; lees_waarde get tekst;
afstand let afstand; afstand2 let afstand2; foto_nummer let Waarde; schrijf_2byte_waarde let tekst;
schrijf_commando let tekst; kies_systeemtekstveld let value; schrijf_systeemtekstveld let value;
schrijf_tekst_veld let value; venster_zetten let value; waarde_schrijven let tekst;
eenheid_lc1 let Waarde; eenheid_lc2 let Waarde; factor_lc1 let Waarde; factor_lc2 let Waarde;
eenheid_temperatuur let Waarde; tijd let value; videoteller let tekst; voeruit3;
voeruit5 method tekst; ZetTekst method tekst veld; zettekst_x_y method x y tekst; meldingen;
hooglaag method Waarde hoog laag; revisie get tekst; constante_zelmar5 get tekst;
helling_instant get; helling_instant_ana get)";

std::string slot_text(const Member& m) {
    std::string text = std::string(m.name) + " " + std::string(kind_name(m.kind));
    for (const auto arg : m.arguments) text += " " + std::string(arg);
    return text;
}

TEST(DispatchTable, ListsEverySlotInInterfaceOrderAndFindsThemByNameAndKind) {
    std::vector<std::string> expected;
    std::istringstream slots{std::string(kInterfaceOrder)};
    for (std::string slot; std::getline(slots, slot, ';');) {
        std::istringstream words(slot);
        std::string text, word;
        for (words >> text; words >> word;) text += " " + word;
        expected.push_back(text.find(' ') == std::string::npos ? text + " method" : text);
    }
    std::vector<std::string> actual;
    for (const auto& m : interface_members()) {
        actual.push_back(slot_text(m));
        EXPECT_EQ(find_member(m.name, m.kind), &m);
    }
    EXPECT_THAT(actual, ::testing::ElementsAreArray(expected));
    EXPECT_NE(find_member("afstand", G), find_member("afstand", L));
    EXPECT_EQ(find_member("afstand", M), nullptr);
    EXPECT_EQ(find_member("Afstand", G), nullptr);  // names are exact
}

// A controller on a scripted port, open, that acknowledges do-commands and writes and answers
// reads with zero data of the item's length.
struct Rig : Controller {
    Rig() {
        port->answer_with([](const std::string& frame) {
            if (frame.size() > 4 && frame[3] == wire::Read) {
                const ReadItem* item = find_read_item(static_cast<unsigned char>(frame[4]));
                return Answer{{1ms, wire::read_reply(std::string(item ? item->data_bytes : 2, 0))}};
            }
            return Answer{{1ms, std::string(1, wire::ACK)}};
        });
        open();
    }
    Variant call(std::string_view name, MemberKind kind, std::vector<Variant>& args) {
        const Member* member = find_member(name, kind);
        if (member == nullptr) throw std::logic_error("no member " + std::string(name));
        return member->invoke(*de, args);
    }
    Variant call(std::string_view name, MemberKind kind, std::vector<Variant>&& args = {}) {
        return call(name, kind, args);
    }
    std::string last_frame() const {
        return port->frames().empty() ? "" : hex(port->frames().back());
    }
};

class DispatchCall : public ::testing::Test, protected Rig {};

// After a text write left other command words behind: one frame of exactly the row's words, and
// all four words replaced. No two rows send the same frame.
TEST_F(DispatchCall, EverySwitchMemberSendsItsRowsSevenByteFrame) {
    std::set<std::string> frames;
    for (const auto& row : kSwitchCommands) {
        SCOPED_TRACE(row.member);
        call("schrijf_tekst_veld", L, {Variant(std::string(128, 'a'))});  // lengte_hoog 1
        const std::size_t sent = port->frames().size();
        EXPECT_TRUE(call(row.member, M).is_empty());
        const std::string expected{wire::STX, static_cast<char>(row.lengte_laag), 0,
                                   0,         static_cast<char>(row.code),        0,
                                   wire::CR};
        EXPECT_EQ(port->frames().size(), sent + 1);
        EXPECT_EQ(last_frame(), hex(expected));
        const LinkState s = de->state();
        using Words = std::array<int, 4>;
        EXPECT_EQ((Words{s.commando_code, s.commando_soort, s.lengte_laag, s.lengte_hoog}),
                  (Words{row.code, 0, row.lengte_laag, 0}));
        frames.insert(expected);
    }
    EXPECT_EQ(frames.size(), std::size(kSwitchCommands));
    EXPECT_EQ(std::size(kSwitchCommands), 77u);
}

struct SendingCall {
    std::string_view name;
    MemberKind kind;
    std::vector<Variant> args;
    std::string_view first_frame;  // hex
};

// Every other member that talks to the unit, and some switch rows by hand: its first frame.
const std::vector<SendingCall>& sending_calls() {
    using I = std::int16_t;
    static const std::vector<SendingCall> rows = {
        {"meterteller_aan", M, {}, "02 01 00 00 26 00 0D"},
        {"cursor_aan", M, {}, "02 00 00 00 60 00 0D"},
        {"bevestig_stikstof", M, {}, "02 01 00 00 7F 00 0D"},
        {"temperatuurbeeld_uit", M, {}, "02 01 00 00 97 00 0D"},
        {"kruisdraden_uit", M, {}, "02 01 00 00 83 00 0D"},    // code 131 twice, told apart by
        {"overlay_wit_zwart", M, {}, "02 00 00 00 83 00 0D"},  // the length word
        {"hint_venster_aan", M, {}, "02 01 00 00 86 00 0D"},
        {"regel_wissen", M, {}, "02 00 00 00 86 00 0D"},
        {"num_draaihoek_beeld_uit", M, {}, "02 01 00 00 91 00 0D"},  // the colour's code
        {"overlay_wit_zwart_wissel", M, {Variant("1")}, "02 01 00 02 91 31 0D"},
        {"voeruit1", M, {}, "02 00 00 00 00 00 0D"},
        {"afstand", G, {}, "02 00 00 01 2B 0D"},
        {"afstand2", G, {}, "02 00 00 01 2C 0D"},
        {"lees_data", G, {Variant(I{45})}, "02 00 00 01 2D 0D"},
        {"lees_tijd", G, {Variant(I{41})}, "02 00 00 01 29 0D"},
        {"lees_waarde", G, {Variant(I{32})}, "02 00 00 01 20 0D"},
        {"afstand", L, {Variant(12.3)}, "02 04 00 02 23 7B 00 00 00 0D"},
        {"afstand2", L, {Variant(std::int32_t{70000})}, "02 04 00 02 27 60 AE 0A 00 0D"},
        {"foto_nummer", L, {Variant(I{1000})}, "02 02 00 02 21 E8 03 0D"},
        {"schrijf_2byte_waarde", L, {Variant("1000|33")}, "02 02 00 02 21 E8 03 0D"},
        {"schrijf_commando", L, {Variant("5|63")}, "02 01 00 02 3F 05 0D"},
        {"kies_systeemtekstveld", L, {Variant(I{5})}, "02 01 00 02 A2 05 0D"},
        {"schrijf_systeemtekstveld", L, {Variant("AB")}, "02 01 00 02 A2 01 0D"},
        {"schrijf_tekst_veld", L, {Variant("AB")}, "02 04 00 02 A1 41 00 42 00 0D"},
        {"venster_zetten", L, {Variant("2|3|96")}, "02 04 00 02 60 1E 00 2D 00 0D"},
        {"waarde_schrijven", L, {Variant("5|63.6")}, "02 01 00 02 40 05 0D"},
        {"eenheid_lc1", L, {Variant(I{3})}, "02 01 00 02 25 03 0D"},
        {"eenheid_lc2", L, {Variant(I{3})}, "02 01 00 02 26 03 0D"},
        {"factor_lc1", L, {Variant(I{3})}, "02 01 00 02 29 03 0D"},
        {"factor_lc2", L, {Variant(I{3})}, "02 01 00 02 2A 03 0D"},
        {"eenheid_temperatuur", L, {Variant(I{3})}, "02 01 00 02 28 03 0D"},
        {"tijd", L, {Variant("14:05|3-12-2026")}, "02 05 00 02 20 05 0E 03 0C 1A 0D"},
        {"videoteller", L, {Variant("01:02:03")}, "02 03 00 02 24 03 02 01 0D"},
        {"voeruit3", M, {}, "02 00 00 00 00 0D"},
        {"voeruit5", M, {Variant()}, "02 00 00 00 00 0D"},
        {"ZetTekst", M, {Variant(" AB "), Variant(I{161})}, "02 02 00 02 A1 41 00 42 00 0D"},
        {"zettekst_x_y", M, {Variant(I{3}), Variant(I{1}), Variant("A")}, "02 01 00 02 A0 03 0D"},
        {"revisie", G, {Variant("anything")}, "02 00 00 01 32 0D"},
        {"constante_zelmar5", G, {Variant()}, "02 00 00 01 3B 0D"},
        {"helling_instant", G, {}, "02 00 00 01 2D 0D"},
        {"helling_instant_ana", G, {}, "02 00 00 01 2E 0D"},
    };
    return rows;
}

TEST(DispatchCalls, EverySendingMemberSendsItsFirstFrame) {
    for (const auto& row : sending_calls()) {
        SCOPED_TRACE(std::string(row.name) + " " + std::string(kind_name(row.kind)));
        Rig rig;  // fresh: voeruit1/3/5 send the command words as they were left
        std::vector<Variant> args = row.args;
        rig.call(row.name, row.kind, args);
        EXPECT_EQ(hex(rig.port->frames().at(0)), row.first_frame);
    }
}

// The members that send nothing, by what they change.
TEST_F(DispatchCall, StateAndPortMembersReachTheirOwnFields) {
    call("regel", L, {Variant(std::int16_t{7})});
    call("kolom", L, {Variant(std::int16_t{9})});
    EXPECT_EQ(call("regel", G), Variant(std::int16_t{7}));
    EXPECT_EQ(call("kolom", G), Variant(std::int16_t{9}));
    call("meldingen", M);
    EXPECT_EQ(de->state().meldingen_aan, -1);
    call("dat_leeg", M);

    call("OpenClose", M, {Variant(false)});
    EXPECT_FALSE(port->PortOpen());
    call("Poort_nummer", L, {Variant(std::int16_t{3})});
    EXPECT_EQ(call("Poort_nummer", G), Variant(std::int16_t{3}));
    call("OpenClose", M, {Variant(true)});
    EXPECT_EQ(port->opened_port(), 3);

    auto other = std::make_shared<ScriptedPort>(clock);
    call("mvarComObject", S, {Variant(std::static_pointer_cast<Object>(other))});
    EXPECT_EQ(call("mvarComObject", G).object(), other);
    call("ComObject", L, {Variant(std::static_pointer_cast<Object>(port))});
    EXPECT_EQ(call("mvarComObject", G).object(), port);
    EXPECT_EQ(error_of([&] { call("ComObject", L, {Variant("no object")}); }),
              ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([&] { call("settings", M, {Variant("no controller")}); }),
              ErrorNumber::TypeMismatch);
    EXPECT_TRUE(port->frames().empty());
}

// One member of each shape: the arguments are passed by reference.
TEST_F(DispatchCall, WriteBacksLandInTheArguments) {
    std::vector<Variant> distance{Variant(12.3)};
    call("afstand", L, distance);
    EXPECT_EQ(distance[0], Variant(std::int16_t{123}));

    std::vector<Variant> split{Variant(std::int16_t{-1}), Variant(), Variant()};
    call("hooglaag", M, split);
    EXPECT_EQ(split[0], Variant(std::int16_t{-1}));
    EXPECT_DOUBLE_EQ(split[1].to_double(), -1);
    EXPECT_DOUBLE_EQ(split[2].to_double(), 255);

    std::vector<Variant> text{Variant("  AB  "), Variant(std::int16_t{161})};
    call("ZetTekst", M, text);
    EXPECT_EQ(text[0], Variant("AB"));

    std::vector<Variant> single{Variant(std::int16_t{1}), Variant()};
    call("floating_point_zetten", M, single);
    EXPECT_EQ(hex(to_cp1252(single[1].string_value())), "3F 80 00 00");

    port->inject(bytes("42 C8 00 00 0D"));
    std::vector<Variant> received{Variant()};
    call("floating_point_lezen", M, received);
    EXPECT_DOUBLE_EQ(received[0].to_double(), 100);

    port->answer_with([](const std::string&) {
        return Answer{{1ms, wire::read_reply(bytes("FF FF"))}};
    });
    std::vector<Variant> item{Variant(std::int16_t{45})};
    EXPECT_TRUE(call("lees_waarde", G, item).is_empty());  // the reply is in tekst only
    EXPECT_EQ(item[0], Variant(-0.01));
    EXPECT_EQ(call("helling_instant", G), Variant(-0.01));
}

TEST_F(DispatchCall, WrongArgumentCountIsRefusedBeforeAnythingIsSent) {
    for (std::size_t count : {0u, 2u}) {
        const auto e = raised([&] { call("lees_waarde", G, std::vector<Variant>(count)); });
        ASSERT_TRUE(e) << count;
        EXPECT_EQ(e->number(), ErrorNumber::InvalidArgument);
        EXPECT_THAT(e->description(), ::testing::HasSubstr("lees_waarde"));
    }
    EXPECT_TRUE(port->frames().empty());
}

// Every slot of the interface is called by one of the tests above.
TEST(DispatchCoverage, EverySlotIsCalledByATest) {
    // clang-format off
    std::set<std::pair<std::string_view, MemberKind>> called = {
        {"regel", G},        {"regel", L},         {"kolom", G},
        {"kolom", L},        {"mvarComObject", G}, {"mvarComObject", S},
        {"ComObject", L},    {"OpenClose", M},     {"Poort_nummer", G},
        {"Poort_nummer", L}, {"settings", M},      {"dat_leeg", M},
        {"meldingen", M},    {"hooglaag", M},      {"floating_point_lezen", M},
        {"floating_point_zetten", M}};
    // clang-format on
    for (const auto& row : kSwitchCommands) called.insert({row.member, M});
    for (const auto& row : sending_calls()) called.insert({row.name, row.kind});
    for (const auto& m : interface_members()) {
        EXPECT_TRUE(called.count({m.name, m.kind})) << slot_text(m);
    }
}

}  // namespace
}  // namespace quarn7::testing
