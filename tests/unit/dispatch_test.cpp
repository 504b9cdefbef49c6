// The dispatch table against the interface as documented: every slot in interface order with its
// kind and argument names, and the exact first frame a sample call of it puts on the line.
#include "link/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/controller_fixture.h"
#include "support/protocol.h"

namespace quarn7::testing {
namespace {

using I = std::int16_t;

struct Slot {
    std::string signature;  // name, kind, argument names
    std::vector<Variant> args;
    std::string frame;  // the first frame sent, hex; "" when nothing is sent
};

// clang-format off
const std::vector<Slot> kBeforeSwitches = {
    {"regel get", {}, ""}, {"regel let value", {I{7}}, ""}, {"kolom get", {}, ""},
    {"kolom let value", {I{9}}, ""}, {"mvarComObject get", {}, ""},
    {"mvarComObject set value", {}, "skip"}, {"ComObject let value", {}, "skip"},
    {"OpenClose method blnValue", {false}, ""}, {"Poort_nummer get", {}, ""},
    {"Poort_nummer let value", {I{3}}, ""}, {"settings method test", {}, "skip"},
    {"dat_leeg method", {}, ""}, {"floating_point_lezen method Waarde", {}, "skip"},
    {"floating_point_zetten method Waarde opdr", {1.5, Variant()}, ""},
};
const Slot kColour = {"overlay_wit_zwart_wissel method kleur", {"1"}, "02 01 00 02 91 31 0D"};
const std::vector<Slot> kAfterSwitches = {
    {"voeruit1 method", {}, "02 00 00 00 00 00 0D"},
    {"afstand get", {}, "02 00 00 01 2B 0D"}, {"afstand2 get", {}, "02 00 00 01 2C 0D"},
    {"lees_data get tekst", {I{45}}, "02 00 00 01 2D 0D"},
    {"lees_tijd get tekst", {I{41}}, "02 00 00 01 29 0D"},
    {"lees_waarde get tekst", {I{32}}, "02 00 00 01 20 0D"},
    {"afstand let afstand", {12.3}, "02 04 00 02 23 7B 00 00 00 0D"},
    {"afstand2 let afstand2", {std::int32_t{70000}}, "02 04 00 02 27 60 AE 0A 00 0D"},
    {"foto_nummer let Waarde", {I{1000}}, "02 02 00 02 21 E8 03 0D"},
    {"schrijf_2byte_waarde let tekst", {"1000|33"}, "02 02 00 02 21 E8 03 0D"},
    {"schrijf_commando let tekst", {"5|63"}, "02 01 00 02 3F 05 0D"},
    {"kies_systeemtekstveld let value", {I{5}}, "02 01 00 02 A2 05 0D"},
    {"schrijf_systeemtekstveld let value", {"AB"}, "02 01 00 02 A2 01 0D"},
    {"schrijf_tekst_veld let value", {"AB"}, "02 04 00 02 A1 41 00 42 00 0D"},
    {"venster_zetten let value", {"2|3|96"}, "02 04 00 02 60 1E 00 2D 00 0D"},
    {"waarde_schrijven let tekst", {"5|63.6"}, "02 01 00 02 40 05 0D"},
    {"eenheid_lc1 let Waarde", {I{3}}, "02 01 00 02 25 03 0D"},
    {"eenheid_lc2 let Waarde", {I{3}}, "02 01 00 02 26 03 0D"},
    {"factor_lc1 let Waarde", {I{3}}, "02 01 00 02 29 03 0D"},
    {"factor_lc2 let Waarde", {I{3}}, "02 01 00 02 2A 03 0D"},
    {"eenheid_temperatuur let Waarde", {I{3}}, "02 01 00 02 28 03 0D"},
    {"tijd let value", {"14:05|3-12-2026"}, "02 05 00 02 20 05 0E 03 0C 1A 0D"},
    {"videoteller let tekst", {"01:02:03"}, "02 03 00 02 24 03 02 01 0D"},
    {"voeruit3 method", {}, "02 00 00 00 00 0D"},
    {"voeruit5 method tekst", {Variant()}, "02 00 00 00 00 0D"},
    {"ZetTekst method tekst veld", {" AB ", I{161}}, "02 02 00 02 A1 41 00 42 00 0D"},
    {"zettekst_x_y method x y tekst", {I{3}, I{1}, "A"}, "02 01 00 02 A0 03 0D"},
    {"meldingen method", {}, ""}, {"hooglaag method Waarde hoog laag", {I{1}, {}, {}}, ""},
    {"revisie get tekst", {"anything"}, "02 00 00 01 32 0D"},
    {"constante_zelmar5 get tekst", {Variant()}, "02 00 00 01 3B 0D"},
    {"helling_instant get", {}, "02 00 00 01 2D 0D"},
    {"helling_instant_ana get", {}, "02 00 00 01 2E 0D"},
};
// clang-format on

// Interface order: the switch members stand between the floating-point members and voeruit1,
// with the colour write right after overlay_wit_zwart.
std::vector<Slot> interface_slots() {
    std::vector<Slot> slots = kBeforeSwitches;
    for (const auto& row : kDocumentedSwitches) {
        slots.push_back({std::string(row.member) + " method", {}, switch_frame(row)});
        if (row.member == "overlay_wit_zwart") slots.push_back(kColour);
    }
    slots.insert(slots.end(), kAfterSwitches.begin(), kAfterSwitches.end());
    return slots;
}

std::string signature(const Member& m) {
    std::string text = std::string(m.name) + " " + std::string(kind_name(m.kind));
    for (const auto arg : m.arguments) text += " " + std::string(arg);
    return text;
}

struct Rig : Controller {
    Rig() {
        port->answer_with(answer_every_frame());
        open();
    }
    Variant call(std::string_view name, MemberKind kind, std::vector<Variant>&& args = {}) {
        return find_member(name, kind)->invoke(*de, args);
    }
};

// Each slot on a controller of its own after a long text write left lengte_hoog 1 behind: a
// member that forgot a command word would send it.
TEST(Dispatch, EverySlotInInterfaceOrderSendsItsFirstFrame) {
    const auto slots = interface_slots();
    const auto& members = interface_members();
    ASSERT_EQ(members.size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const Slot& slot = slots[i];
        SCOPED_TRACE(slot.signature);
        EXPECT_EQ(signature(members[i]), slot.signature);
        EXPECT_EQ(find_member(members[i].name, members[i].kind), &members[i]);
        if (slot.frame == "skip") continue;
        Rig rig;
        const bool leaves_words = slot.signature.starts_with("voeruit");
        if (!leaves_words) rig.call("schrijf_tekst_veld", MemberKind::Let, {std::string(128, 'a')});
        const std::size_t before = rig.port->frames().size();
        std::vector<Variant> args = slot.args;
        members[i].invoke(*rig.de, args);
        const auto frames = rig.port->frames();
        EXPECT_EQ(frames.size() > before ? hex(frames[before]) : "", slot.frame);
    }
    EXPECT_EQ(find_member("afstand", MemberKind::Method), nullptr);
    EXPECT_EQ(find_member("Afstand", MemberKind::Get), nullptr);  // names are exact
}

class DispatchCall : public ::testing::Test, protected Rig {};

TEST_F(DispatchCall, StateAndPortMembersReachTheirOwnFields) {
    using enum MemberKind;
    call("regel", Let, {I{7}});
    call("kolom", Let, {I{9}});
    EXPECT_EQ(call("regel", Get), Variant(I{7}));
    EXPECT_EQ(call("kolom", Get), Variant(I{9}));
    call("meldingen", Method);
    EXPECT_EQ(de->state().meldingen_aan, -1);
    call("OpenClose", Method, {false});
    call("Poort_nummer", Let, {I{3}});
    EXPECT_EQ(call("Poort_nummer", Get), Variant(I{3}));
    call("OpenClose", Method, {true});
    EXPECT_EQ(port->opened_port(), 3);

    auto other = std::make_shared<ScriptedPort>(clock);
    call("mvarComObject", Set, {Variant(std::static_pointer_cast<Object>(other))});
    EXPECT_EQ(call("mvarComObject", Get).object(), other);
    call("ComObject", Let, {Variant(std::static_pointer_cast<Object>(port))});
    EXPECT_EQ(call("mvarComObject", Get).object(), port);
    EXPECT_EQ(error_of([&] { call("ComObject", Let, {"no object"}); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([&] { call("settings", Method, {"x"}); }), ErrorNumber::TypeMismatch);
    EXPECT_TRUE(port->frames().empty());
}

// One member of each shape: arguments are passed by reference.
TEST_F(DispatchCall, WriteBacksLandInTheArguments) {
    const auto invoke = [&](std::string_view name, MemberKind kind, std::vector<Variant> args) {
        find_member(name, kind)->invoke(*de, args);
        return args;
    };
    using enum MemberKind;
    EXPECT_EQ(invoke("afstand", Let, {12.3})[0], Variant(I{123}));
    EXPECT_EQ(invoke("hooglaag", Method, {I{-1}, {}, {}}),
              (std::vector<Variant>{I{-1}, -1.0, 255.0}));
    EXPECT_EQ(invoke("ZetTekst", Method, {"  AB  ", I{161}})[0], Variant("AB"));
    EXPECT_EQ(hex(to_cp1252(invoke("floating_point_zetten", Method, {I{1}, {}})[1].to_text())),
              "3F 80 00 00");
    port->inject(bytes("42 C8 00 00 0D"));
    EXPECT_EQ(invoke("floating_point_lezen", Method, {{}})[0], Variant(100.0));
    port->answer_with(answer_every_frame([](int) { return bytes("FF FF"); }));
    EXPECT_EQ(invoke("lees_waarde", Get, {I{45}})[0], Variant(-0.01));
    EXPECT_TRUE(call("lees_waarde", Get, {I{45}}).is_empty());  // the reply is in tekst only
    EXPECT_EQ(call("helling_instant", Get), Variant(-0.01));
}

TEST_F(DispatchCall, WrongArgumentCountIsRefusedBeforeAnythingIsSent) {
    for (std::size_t count : {0u, 2u}) {
        const auto e = raised([&] { call("lees_waarde", MemberKind::Get, std::vector<Variant>(count)); });
        ASSERT_TRUE(e) << count;
        EXPECT_EQ(e->number(), ErrorNumber::InvalidArgument);
        EXPECT_THAT(e->description(), ::testing::HasSubstr("lees_waarde takes 1 argument(s)"));
    }
    EXPECT_TRUE(port->frames().empty());
}

}  // namespace
}  // namespace quarn7::testing
