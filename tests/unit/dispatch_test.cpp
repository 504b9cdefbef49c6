// The dispatch table against the interface as documented: every slot in interface order with its
// kind and argument names, and the exact first frame a sample call of it puts on the line.
#include "quarn7/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/scripted_port.h"
#include "support/protocol.h"

namespace quarn7::testing {
namespace {

using I = std::int16_t;
using Args = std::vector<Variant>;
using enum MemberKind;
constexpr auto read = read_request;

struct Slot {
    std::string signature;   // name, kind, argument names
    std::string frame = "";  // the first frame sent, hex; "" when nothing is sent
    Args args = {};
};

// clang-format off
const std::vector<Slot> kBeforeSwitches = {
    {"regel get"}, {"regel let value", "", {I{7}}}, {"kolom get"}, {"kolom let value", "", {I{9}}},
    {"mvarComObject get"}, {"mvarComObject set value", "skip"}, {"ComObject let value", "skip"},
    {"OpenClose method blnValue", "", {false}}, {"Poort_nummer get"},
    {"Poort_nummer let value", "", {I{3}}}, {"settings method test", "skip"}, {"dat_leeg method"},
    {"floating_point_lezen method Waarde", "skip"},
    {"floating_point_zetten method Waarde opdr", "", {1.5, Variant()}},
};
const Slot kColour = {"overlay_wit_zwart_wissel method kleur", "02 01 00 02 91 31 0D", {"1"}};
const std::vector<Slot> kAfterSwitches = {
    {"voeruit1 method", "02 00 00 00 00 00 0D"}, {"afstand get", read(43)},
    {"afstand2 get", read(44)}, {"lees_data get tekst", read(45), {I{45}}},
    {"lees_tijd get tekst", read(41), {I{41}}}, {"lees_waarde get tekst", read(32), {I{32}}},
    {"afstand let afstand", "02 04 00 02 23 7B 00 00 00 0D", {12.3}},
    {"afstand2 let afstand2", "02 04 00 02 27 60 AE 0A 00 0D", {std::int32_t{70000}}},
    {"foto_nummer let Waarde", "02 02 00 02 21 E8 03 0D", {I{1000}}},
    {"schrijf_2byte_waarde let tekst", "02 02 00 02 21 E8 03 0D", {"1000|33"}},
    {"schrijf_commando let tekst", "02 01 00 02 3F 05 0D", {"5|63"}},
    {"kies_systeemtekstveld let value", "02 01 00 02 A2 05 0D", {I{5}}},
    {"schrijf_systeemtekstveld let value", "02 01 00 02 A2 01 0D", {"AB"}},
    {"schrijf_tekst_veld let value", "02 04 00 02 A1 41 00 42 00 0D", {"AB"}},
    {"venster_zetten let value", "02 04 00 02 60 1E 00 2D 00 0D", {"2|3|96"}},
    {"waarde_schrijven let tekst", "02 01 00 02 40 05 0D", {"5|63.6"}},
    {"eenheid_lc1 let Waarde", "02 01 00 02 25 03 0D", {I{3}}},
    {"eenheid_lc2 let Waarde", "02 01 00 02 26 03 0D", {I{3}}},
    {"factor_lc1 let Waarde", "02 01 00 02 29 03 0D", {I{3}}},
    {"factor_lc2 let Waarde", "02 01 00 02 2A 03 0D", {I{3}}},
    {"eenheid_temperatuur let Waarde", "02 01 00 02 28 03 0D", {I{3}}},
    {"tijd let value", "02 05 00 02 20 05 0E 03 0C 1A 0D", {"14:05|3-12-2026"}},
    {"videoteller let tekst", "02 03 00 02 24 03 02 01 0D", {"01:02:03"}},
    {"voeruit3 method", "02 00 00 00 00 0D"},
    {"voeruit5 method tekst", "02 00 00 00 00 0D", {Variant()}},
    {"ZetTekst method tekst veld", "02 02 00 02 A1 41 00 42 00 0D", {" AB ", I{161}}},
    {"zettekst_x_y method x y tekst", "02 01 00 02 A0 03 0D", {I{3}, I{1}, "A"}},
    {"meldingen method"}, {"hooglaag method Waarde hoog laag", "", {I{1}, {}, {}}},
    {"revisie get tekst", read(50), {"x"}}, {"constante_zelmar5 get tekst", read(59), {Variant()}},
    {"helling_instant get", read(45)}, {"helling_instant_ana get", read(46)},
};
// clang-format on

struct Rig : Controller {
    explicit Rig(bool long_text_first = false) {
        port->answer_with(answer_every_frame());
        open();
        if (long_text_first) call("schrijf_tekst_veld", Let, {std::string(128, 'a')});
    }
    Variant call(std::string_view name, MemberKind kind, Args&& args = {}) {
        return find_member(name, kind)->invoke(*de, args);
    }
    Args args_after(std::string_view name, MemberKind kind, Args args) {  // with write-backs
        find_member(name, kind)->invoke(*de, args);
        return args;
    }
};

// Each slot on a controller of its own after a long text write left lengte_hoog 1 behind: a
// member that forgot a command word would send it.
TEST(Dispatch, EverySlotInInterfaceOrderSendsItsFirstFrame) {
    std::vector<Slot> slots = kBeforeSwitches;
    for (const auto& row : kDocumentedSwitches) {
        slots.push_back({std::string(row.member) + " method", switch_frame(row)});
        if (row.member == "overlay_wit_zwart") slots.push_back(kColour);  // right after it
    }
    slots.insert(slots.end(), kAfterSwitches.begin(), kAfterSwitches.end());
    ASSERT_EQ(interface_members().size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const Member& m = interface_members()[i];
        std::string signature = std::string(m.name) + " " + std::string(kind_name(m.kind));
        for (const auto arg : m.arguments) signature += " " + std::string(arg);
        EXPECT_EQ(signature, slots[i].signature);
        EXPECT_EQ(find_member(m.name, m.kind), &m) << signature;
        if (slots[i].frame == "skip") continue;
        Rig rig(!signature.starts_with("voeruit"));  // voeruit sends the words as they stand
        const std::size_t before = rig.port->frames().size();
        m.invoke(*rig.de, slots[i].args);
        const auto frames = rig.port->frames();
        EXPECT_EQ(frames.size() > before ? hex(frames[before]) : "", slots[i].frame) << signature;
    }
    EXPECT_FALSE(find_member("afstand", Method) || find_member("Afstand", Get));  // exact names
}

class DispatchCall : public ::testing::Test, protected Rig {};

TEST_F(DispatchCall, StateAndPortMembersReachTheirOwnFields) {
    const std::pair<const char*, I> fields[] = {{"regel", 7}, {"kolom", 9}, {"Poort_nummer", 3}};
    call("OpenClose", Method, {false});
    for (const auto& [name, value] : fields) call(name, Let, {value});
    for (const auto& [name, value] : fields) EXPECT_EQ(call(name, Get), Variant(value)) << name;
    call("OpenClose", Method, {true});
    EXPECT_EQ(port->opened_port(), 3);
    call("meldingen", Method);
    EXPECT_EQ(de->state().meldingen_aan, -1);
    auto other = std::make_shared<ScriptedPort>(clock);
    call("mvarComObject", Set, {Variant(std::static_pointer_cast<Object>(other))});
    EXPECT_EQ(call("mvarComObject", Get).object(), other);
    call("ComObject", Let, {Variant(std::static_pointer_cast<Object>(port))});
    EXPECT_EQ(call("mvarComObject", Get).object(), port);
    EXPECT_EQ(error_of([&] { call("ComObject", Let, {"no object"}); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([&] { call("settings", Method, {"x"}); }), ErrorNumber::TypeMismatch);
    EXPECT_TRUE(port->frames().empty());
}

TEST_F(DispatchCall, ArgumentsAreCountedThenPassedByReference) {
    for (std::size_t count : {0u, 2u}) {
        const auto e = raised([&] { call("lees_waarde", Get, Args(count)); });
        ASSERT_TRUE(e && e->number() == ErrorNumber::InvalidArgument) << count;
        EXPECT_THAT(e->description(), ::testing::HasSubstr("lees_waarde takes 1 argument(s)"));
    }
    EXPECT_TRUE(port->frames().empty());
    EXPECT_EQ(args_after("afstand", Let, {12.3}), Args{I{123}});  // one member of each shape
    EXPECT_EQ(args_after("hooglaag", Method, {I{-1}, {}, {}}), Args({I{-1}, -1.0, 255.0}));
    EXPECT_EQ(args_after("ZetTekst", Method, {"  AB  ", I{161}}), Args({"AB", I{161}}));
    const Args single = args_after("floating_point_zetten", Method, {I{1}, {}});
    EXPECT_EQ(hex(to_cp1252(single[1].to_text())), "3F 80 00 00");
    port->inject(bytes("42 C8 00 00 0D"));
    EXPECT_EQ(args_after("floating_point_lezen", Method, {{}}), Args{100.0});
    port->answer_with(answer_every_frame([](int) { return bytes("FF FF"); }));
    EXPECT_EQ(args_after("lees_waarde", Get, {I{45}}), Args{-0.01});
    EXPECT_TRUE(call("lees_waarde", Get, {I{45}}).is_empty());  // the reply is in tekst only
    EXPECT_EQ(call("helling_instant", Get), Variant(-0.01));
}

}  // namespace
}  // namespace quarn7::testing
