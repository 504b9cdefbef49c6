// The dispatch table: every member of the automation interface in interface order, each entry
// reaching its own member with its arguments by reference.
#include "link/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/switch_commands.h"
#include "link/clsvyx7.h"
#include "link/read_items.h"
#include "link/wire.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using testing::Answer;
using testing::bytes;
using testing::hex;
using namespace std::chrono_literals;

struct Slot {
    std::string_view name;
    MemberKind kind;
    std::vector<std::string_view> arguments;
};

constexpr auto G = MemberKind::Get;
constexpr auto L = MemberKind::Let;
constexpr auto S = MemberKind::Set;
constexpr auto M = MemberKind::Method;

// The interface's slots, in order.
const std::vector<Slot>& interface_slots() {
    static const std::vector<Slot> slots = {
        {"regel", G, {}},
        {"regel", L, {"value"}},
        {"kolom", G, {}},
        {"kolom", L, {"value"}},
        {"mvarComObject", G, {}},
        {"mvarComObject", S, {"value"}},
        {"ComObject", L, {"value"}},
        {"OpenClose", M, {"blnValue"}},
        {"Poort_nummer", G, {}},
        {"Poort_nummer", L, {"value"}},
        {"settings", M, {"test"}},
        {"dat_leeg", M, {}},
        {"floating_point_lezen", M, {"Waarde"}},
        {"floating_point_zetten", M, {"Waarde", "opdr"}},
        {"meterteller_aan", M, {}},
        {"meterteller_uit", M, {}},
        {"meterteller2_aan", M, {}},
        {"meterteller2_uit", M, {}},
        {"datum_aan", M, {}},
        {"datum_uit", M, {}},
        {"dig_tilt_aan", M, {}},
        {"dig_tilt_uit", M, {}},
        {"ana_tilt_aan", M, {}},
        {"ana_tilt_uit", M, {}},
        {"foto_aan", M, {}},
        {"foto_uit", M, {}},
        {"tijd_aan", M, {}},
        {"tijd_uit", M, {}},
        {"cursor_aan", M, {}},
        {"cursor_uit", M, {}},
        {"cursor_wissel", M, {}},
        {"videoteller_aan", M, {}},
        {"videoteller_uit", M, {}},
        {"snelheidsbalk_aan", M, {}},
        {"snelheidsbalk_uit", M, {}},
        {"snelheidsmeter_aan", M, {}},
        {"snelheidsmeter_uit", M, {}},
        {"systeem_tekst_aan", M, {}},
        {"systeem_tekst_uit", M, {}},
        {"kijkrichtingdisplay_aan", M, {}},
        {"kijkrichtingdisplay_uit", M, {}},
        {"bedrijfslogo_aan", M, {}},
        {"bedrijfslogo_uit", M, {}},
        {"overlay_aan", M, {}},
        {"overlay_uit", M, {}},
        {"Venster_schaduw_aan", M, {}},
        {"Venster_schaduw_uit", M, {}},
        {"tekst_schaduw_aan", M, {}},
        {"tekst_schaduw_uit", M, {}},
        {"testpatroon_aan", M, {}},
        {"testpatroon_uit", M, {}},
        {"reset_DE", M, {}},
        {"overlay_zwart_wit", M, {}},
        {"overlay_wit_zwart", M, {}},
        {"overlay_wit_zwart_wissel", M, {"kleur"}},
        {"regel_wissen", M, {}},
        {"Teller1_0", M, {}},
        {"Teller2_0", M, {}},
        {"Digitale_tilt_0", M, {}},
        {"analoge_tilt_0", M, {}},
        {"Videoteller_0", M, {}},
        {"Fototeller_0", M, {}},
        {"schermwissen", M, {}},
        {"toetsenbordbediening", M, {}},
        {"softwarebediening", M, {}},
        {"VYX_fabrieksdefault", M, {}},
        {"automatisch_EEx_logo_aan", M, {}},
        {"automatisch_EEx_logo_uit", M, {}},
        {"kruisdraden_aan", M, {}},
        {"kruisdraden_uit", M, {}},
        {"positie_cirkel_aan", M, {}},
        {"positie_cirkel_uit", M, {}},
        {"hint_venster_aan", M, {}},
        {"hint_venster_uit", M, {}},
        {"start_diameter_meting", M, {}},
        {"cancel_1", M, {}},
        {"zet_cirkel_positie", M, {}},
        {"cancel_2", M, {}},
        {"zet_merk_positie", M, {}},
        {"wijzig_lc_teller_richting_aan", M, {}},
        {"wijzig_lc_teller_richting_uit", M, {}},
        {"num_draaihoek_beeld_aan", M, {}},
        {"num_draaihoek_beeld_uit", M, {}},
        {"hoekmeting_aan", M, {}},
        {"hoekmeting_uit", M, {}},
        {"meetlijn_aan", M, {}},
        {"meetlijn_uit", M, {}},
        {"temperatuurbeeld_aan", M, {}},
        {"temperatuurbeeld_uit", M, {}},
        {"automatisch_EEx_temp_logo_aan", M, {}},
        {"automatisch_EEx_temp_logo_uit", M, {}},
        {"bevestig_stikstof", M, {}},
        {"voeruit1", M, {}},
        {"afstand", G, {}},
        {"afstand2", G, {}},
        {"lees_data", G, {"tekst"}},
        {"lees_tijd", G, {"tekst"}},
        {"lees_waarde", G, {"tekst"}},
        {"afstand", L, {"afstand"}},
        {"afstand2", L, {"afstand2"}},
        {"foto_nummer", L, {"Waarde"}},
        {"schrijf_2byte_waarde", L, {"tekst"}},
        {"schrijf_commando", L, {"tekst"}},
        {"kies_systeemtekstveld", L, {"value"}},
        {"schrijf_systeemtekstveld", L, {"value"}},
        {"schrijf_tekst_veld", L, {"value"}},
        {"venster_zetten", L, {"value"}},
        {"waarde_schrijven", L, {"tekst"}},
        {"eenheid_lc1", L, {"Waarde"}},
        {"eenheid_lc2", L, {"Waarde"}},
        {"factor_lc1", L, {"Waarde"}},
        {"factor_lc2", L, {"Waarde"}},
        {"eenheid_temperatuur", L, {"Waarde"}},
        {"tijd", L, {"value"}},
        {"videoteller", L, {"tekst"}},
        {"voeruit3", M, {}},
        {"voeruit5", M, {"tekst"}},
        {"ZetTekst", M, {"tekst", "veld"}},
        {"zettekst_x_y", M, {"x", "y", "tekst"}},
        {"meldingen", M, {}},
        {"hooglaag", M, {"Waarde", "hoog", "laag"}},
        {"revisie", G, {"tekst"}},
        {"constante_zelmar5", G, {"tekst"}},
        {"helling_instant", G, {}},
        {"helling_instant_ana", G, {}},
    };
    return slots;
}

std::string slot_text(std::string_view name, MemberKind kind,
                      const std::vector<std::string_view>& arguments) {
    std::string text = std::string(name) + " " + std::string(kind_name(kind)) + " (";
    for (const auto arg : arguments) text += std::string(arg) + ",";
    return text + ")";
}

TEST(DispatchTable, ListsEverySlotInInterfaceOrder) {
    std::vector<std::string> expected;
    for (const auto& slot : interface_slots()) {
        expected.push_back(slot_text(slot.name, slot.kind, slot.arguments));
    }
    std::vector<std::string> actual;
    for (const auto& m : interface_members())
        actual.push_back(slot_text(m.name, m.kind, m.arguments));
    EXPECT_THAT(actual, ::testing::ElementsAreArray(expected));
}

TEST(DispatchTable, CountsByKind) {
    std::map<MemberKind, int> counts;
    for (const auto& m : interface_members()) ++counts[m.kind];
    EXPECT_EQ(interface_members().size(), 125u);
    EXPECT_EQ(counts[G], 13);
    EXPECT_EQ(counts[L], 21);
    EXPECT_EQ(counts[S], 1);
    EXPECT_EQ(counts[M], 90);
    EXPECT_EQ(std::size(kSwitchCommands), 77u);
}

TEST(DispatchTable, FindsMembersByNameAndKind) {
    const Member* read = find_member("afstand", G);
    const Member* write = find_member("afstand", L);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(write, nullptr);
    EXPECT_NE(read, write);
    EXPECT_EQ(write->arguments.size(), 1u);
    EXPECT_EQ(find_member("afstand", M), nullptr);
    EXPECT_EQ(find_member("Afstand", G), nullptr);  // names are exact
    EXPECT_EQ(find_member("no_such_member", M), nullptr);
    EXPECT_EQ(kind_name(G), "get");
    EXPECT_EQ(kind_name(L), "let");
    EXPECT_EQ(kind_name(S), "set");
    EXPECT_EQ(kind_name(M), "method");
}

// A controller on a scripted port that acknowledges do-commands and writes and answers reads
// with zero data of the item's length; its port is open.
struct Rig {
    Rig() {
        de->set_clock(clock);
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        port->answer_with([](const std::string& frame) {
            if (frame.size() > 4 && frame[3] == wire::Read) {
                const ReadItem* item = find_read_item(static_cast<unsigned char>(frame[4]));
                const std::string data(item != nullptr ? item->data_bytes : 2, '\0');
                return Answer{{1ms, wire::read_reply(data)}};
            }
            return Answer{{1ms, std::string(1, wire::ACK)}};
        });
        Variant open(true);
        de->OpenClose(open);
    }

    Variant call(std::string_view name, MemberKind kind, std::vector<Variant>& args) {
        const Member* member = find_member(name, kind);
        if (member == nullptr) throw std::logic_error("no member " + std::string(name));
        return member->invoke(*de, args);
    }

    std::string frame(std::size_t index) const {
        const auto frames = port->frames();
        return index < frames.size() ? hex(frames[index]) : "";
    }

    testing::FakeClock clock;
    std::shared_ptr<testing::ScriptedPort> port = std::make_shared<testing::ScriptedPort>(clock);
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

class DispatchCall : public ::testing::Test, protected Rig {};

TEST_F(DispatchCall, EverySwitchMemberSendsItsOwnRow) {
    for (const auto& row : kSwitchCommands) {
        SCOPED_TRACE(row.member);
        const std::size_t sent = port->frames().size();
        std::vector<Variant> none;
        EXPECT_TRUE(call(row.member, M, none).is_empty());
        const std::string expected{wire::STX, static_cast<char>(row.lengte_laag), 0,
                                   0,         static_cast<char>(row.code),        0,
                                   wire::CR};
        EXPECT_EQ(frame(sent), hex(expected));
    }
}

struct SendingCall {
    std::string_view name;
    MemberKind kind;
    std::vector<Variant> args;
    std::string_view first_frame;  // hex
};

// One row per member that talks to the unit, outside the switch list: the first frame proves the
// entry reached its own member.
const std::vector<SendingCall>& sending_calls() {
    static const std::vector<SendingCall> rows = {
        {"overlay_wit_zwart_wissel", M, {Variant("1")}, "02 01 00 02 91 31 0D"},
        {"voeruit1", M, {}, "02 00 00 00 00 00 0D"},
        {"afstand", G, {}, "02 00 00 01 2B 0D"},
        {"afstand2", G, {}, "02 00 00 01 2C 0D"},
        {"lees_data", G, {Variant(std::int16_t{45})}, "02 00 00 01 2D 0D"},
        {"lees_tijd", G, {Variant(std::int16_t{41})}, "02 00 00 01 29 0D"},
        {"lees_waarde", G, {Variant(std::int16_t{32})}, "02 00 00 01 20 0D"},
        {"afstand", L, {Variant(12.3)}, "02 04 00 02 23 7B 00 00 00 0D"},
        {"afstand2", L, {Variant(std::int32_t{70000})}, "02 04 00 02 27 60 AE 0A 00 0D"},
        {"foto_nummer", L, {Variant(std::int16_t{1000})}, "02 02 00 02 21 E8 03 0D"},
        {"schrijf_2byte_waarde", L, {Variant("1000|33")}, "02 02 00 02 21 E8 03 0D"},
        {"schrijf_commando", L, {Variant("5|63")}, "02 01 00 02 3F 05 0D"},
        {"kies_systeemtekstveld", L, {Variant(std::int16_t{5})}, "02 01 00 02 A2 05 0D"},
        {"schrijf_systeemtekstveld", L, {Variant("AB")}, "02 01 00 02 A2 01 0D"},
        {"schrijf_tekst_veld", L, {Variant("AB")}, "02 04 00 02 A1 41 00 42 00 0D"},
        {"venster_zetten", L, {Variant("2|3|96")}, "02 04 00 02 60 1E 00 2D 00 0D"},
        {"waarde_schrijven", L, {Variant("5|63.6")}, "02 01 00 02 40 05 0D"},
        {"eenheid_lc1", L, {Variant(std::int16_t{3})}, "02 01 00 02 25 03 0D"},
        {"eenheid_lc2", L, {Variant(std::int16_t{3})}, "02 01 00 02 26 03 0D"},
        {"factor_lc1", L, {Variant(std::int16_t{3})}, "02 01 00 02 29 03 0D"},
        {"factor_lc2", L, {Variant(std::int16_t{3})}, "02 01 00 02 2A 03 0D"},
        {"eenheid_temperatuur", L, {Variant(std::int16_t{3})}, "02 01 00 02 28 03 0D"},
        {"tijd", L, {Variant("14:05|3-12-2026")}, "02 05 00 02 20 05 0E 03 0C 1A 0D"},
        {"videoteller", L, {Variant("01:02:03")}, "02 03 00 02 24 03 02 01 0D"},
        {"voeruit3", M, {}, "02 00 00 00 00 0D"},
        {"voeruit5", M, {Variant()}, "02 00 00 00 00 0D"},
        {"ZetTekst",
         M,
         {Variant(" AB "), Variant(std::int16_t{161})},
         "02 02 00 02 A1 41 00 42 00 0D"},
        {"zettekst_x_y",
         M,
         {Variant(std::int16_t{3}), Variant(std::int16_t{1}), Variant("A")},
         "02 01 00 02 A0 03 0D"},
        {"revisie", G, {Variant("anything")}, "02 00 00 01 32 0D"},
        {"constante_zelmar5", G, {Variant()}, "02 00 00 01 3B 0D"},
        {"helling_instant", G, {}, "02 00 00 01 2D 0D"},
        {"helling_instant_ana", G, {}, "02 00 00 01 2E 0D"},
    };
    return rows;
}

TEST(DispatchCalls, EveryOtherSendingMemberReachesItsOwnCode) {
    for (const auto& row : sending_calls()) {
        SCOPED_TRACE(std::string(row.name) + " " + std::string(kind_name(row.kind)));
        // Each row starts from a fresh controller: voeruit1/3/5 send the words as left.
        Rig rig;
        std::vector<Variant> args = row.args;
        rig.call(row.name, row.kind, args);
        EXPECT_EQ(rig.frame(0), row.first_frame);
    }
}

// Members that talk to no unit: what they change instead.
TEST_F(DispatchCall, StateMembersReachTheirOwnFields) {
    std::vector<Variant> seven{Variant(std::int16_t{7})};
    std::vector<Variant> none;
    call("regel", L, seven);
    EXPECT_EQ(call("regel", G, none), Variant(std::int16_t{7}));
    EXPECT_EQ(call("kolom", G, none), Variant(std::int16_t{0}));
    std::vector<Variant> nine{Variant(std::int16_t{9})};
    call("kolom", L, nine);
    EXPECT_EQ(call("kolom", G, none), Variant(std::int16_t{9}));

    EXPECT_EQ(call("mvarComObject", G, none).object(), port);
    EXPECT_EQ(call("Poort_nummer", G, none), Variant(std::int16_t{1}));

    call("meldingen", M, none);
    EXPECT_EQ(de->state().meldingen_aan, -1);
    call("dat_leeg", M, none);

    std::vector<Variant> closed{Variant(false)};
    call("OpenClose", M, closed);
    EXPECT_FALSE(port->PortOpen());
    std::vector<Variant> three{Variant(std::int16_t{3})};
    call("Poort_nummer", L, three);
    EXPECT_EQ(call("Poort_nummer", G, none), Variant(std::int16_t{3}));
    std::vector<Variant> open{Variant(true)};
    call("OpenClose", M, open);
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(port->opened_port(), 3);
    EXPECT_TRUE(port->frames().empty());
}

TEST_F(DispatchCall, PortObjectMembersTakeTheNewPort) {
    auto other = std::make_shared<testing::ScriptedPort>(clock);
    std::vector<Variant> none;
    std::vector<Variant> by_set{Variant(std::static_pointer_cast<Object>(other))};
    call("mvarComObject", S, by_set);
    EXPECT_EQ(call("mvarComObject", G, none).object(), other);

    std::vector<Variant> by_let{Variant(std::static_pointer_cast<Object>(port))};
    call("ComObject", L, by_let);
    EXPECT_EQ(call("mvarComObject", G, none).object(), port);

    std::vector<Variant> text{Variant("no object")};
    try {
        call("ComObject", L, text);
        FAIL() << "ComObject took a text";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::TypeMismatch);
    }
    EXPECT_EQ(text.front(), Variant("no object"));
}

TEST_F(DispatchCall, SettingsRefusesAnArgumentThatHoldsNoController) {
    std::vector<Variant> text{Variant("no controller")};
    EXPECT_THROW(call("settings", M, text), Error);
}

TEST_F(DispatchCall, WriteBacksLandInTheArguments) {
    std::vector<Variant> distance{Variant(12.3)};
    call("afstand", L, distance);
    EXPECT_EQ(distance[0], Variant(std::int16_t{123}));

    std::vector<Variant> colour{Variant("  2  ")};
    call("overlay_wit_zwart_wissel", M, colour);
    EXPECT_EQ(colour[0], Variant(2.0));

    std::vector<Variant> split{Variant(std::int16_t{-1}), Variant(), Variant()};
    call("hooglaag", M, split);
    EXPECT_EQ(split[0], Variant(std::int16_t{-1}));
    EXPECT_DOUBLE_EQ(split[1].to_double(), -1);
    EXPECT_DOUBLE_EQ(split[2].to_double(), 255);

    std::vector<Variant> text{Variant("  AB  "), Variant(std::int16_t{161})};
    call("ZetTekst", M, text);
    EXPECT_EQ(text[0], Variant("AB"));

    std::vector<Variant> field{Variant(std::int16_t{20}), Variant("y"), Variant("A")};
    call("zettekst_x_y", M, field);
    EXPECT_EQ(field[0], Variant(std::int16_t{16}));
    EXPECT_EQ(field[1], Variant("y"));

    std::vector<Variant> single{Variant(std::int16_t{1}), Variant()};
    call("floating_point_zetten", M, single);
    EXPECT_EQ(hex(to_cp1252(single[1].string_value())), "3F 80 00 00");
}

TEST_F(DispatchCall, ReadsWriteTheReplyIntoTekstAndReturnEmpty) {
    port->answer_with([](const std::string&) {
        return Answer{{1ms, wire::read_reply(bytes("FF FF"))}};
    });
    std::vector<Variant> item{Variant(std::int16_t{45})};
    EXPECT_TRUE(call("lees_waarde", G, item).is_empty());
    EXPECT_EQ(item[0], Variant(-0.01));

    std::vector<Variant> none;
    EXPECT_EQ(call("helling_instant", G, none), Variant(-0.01));
}

TEST_F(DispatchCall, FloatingPointReadTakesWhatThePortHolds) {
    port->inject(bytes("42 C8 00 00 0D"));
    std::vector<Variant> value{Variant()};
    call("floating_point_lezen", M, value);
    EXPECT_DOUBLE_EQ(value[0].to_double(), 100);
}

TEST_F(DispatchCall, WrongArgumentCountIsRefusedBeforeAnythingIsSent) {
    std::vector<Variant> none;
    std::vector<Variant> two{Variant(std::int16_t{45}), Variant()};
    for (auto* args : {&none, &two}) {
        try {
            call("lees_waarde", G, *args);
            FAIL() << "called with " << args->size() << " arguments";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidArgument);
            EXPECT_THAT(e.description(), ::testing::HasSubstr("lees_waarde"));
        }
    }
    EXPECT_TRUE(port->frames().empty());
}

// Every slot of the interface is exercised by one of the tests above.
TEST(DispatchCoverage, EverySlotIsCalledByATest) {
    std::set<std::pair<std::string_view, MemberKind>> called;
    for (const auto& row : kSwitchCommands) called.insert({row.member, M});
    for (const auto& row : sending_calls()) called.insert({row.name, row.kind});
    for (const auto& [name, kind] :
         std::vector<std::pair<std::string_view, MemberKind>>{{"regel", G},
                                                              {"regel", L},
                                                              {"kolom", G},
                                                              {"kolom", L},
                                                              {"mvarComObject", G},
                                                              {"mvarComObject", S},
                                                              {"ComObject", L},
                                                              {"OpenClose", M},
                                                              {"Poort_nummer", G},
                                                              {"Poort_nummer", L},
                                                              {"settings", M},
                                                              {"dat_leeg", M},
                                                              {"floating_point_lezen", M},
                                                              {"floating_point_zetten", M},
                                                              {"meldingen", M},
                                                              {"hooglaag", M}}) {
        called.insert({name, kind});
    }
    for (const auto& m : interface_members()) {
        EXPECT_TRUE(called.count({m.name, m.kind})) << slot_text(m.name, m.kind, m.arguments);
    }
}

}  // namespace
}  // namespace quarn7
