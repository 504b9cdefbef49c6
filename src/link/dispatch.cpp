#include "quarn7/dispatch.h"

#include <algorithm>
#include <string>
#include <utility>

#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"

namespace quarn7 {

namespace {

using Invoke = std::function<Variant(clsvyx7&, std::span<Variant>)>;
using Names = std::vector<std::string_view>;

// Every entry checks its argument count, so a by-name caller can never index past `args`.
Member make(std::string_view name, MemberKind kind, Names arguments, Invoke call) {
    const std::size_t count = arguments.size();
    Invoke checked = [name, count, call = std::move(call)](clsvyx7& c, std::span<Variant> args) {
        if (args.size() != count) {
            throw Error(ErrorNumber::InvalidArgument, std::string(name) + " takes " +
                                                          std::to_string(count) + " argument(s), " +
                                                          std::to_string(args.size()) + " given");
        }
        return call(c, args);
    };
    return Member{name, kind, std::move(arguments), std::move(checked)};
}

Member get(std::string_view name, Variant (clsvyx7::*f)()) {
    return make(name, MemberKind::Get, {},
                [f](clsvyx7& c, std::span<Variant>) { return (c.*f)(); });
}

Member get(std::string_view name, Variant (clsvyx7::*f)(Variant&), std::string_view arg) {
    return make(name, MemberKind::Get, {arg},
                [f](clsvyx7& c, std::span<Variant> a) { return (c.*f)(a[0]); });
}

Member one_by_ref(std::string_view name, MemberKind kind, void (clsvyx7::*f)(Variant&),
                  std::string_view arg) {
    return make(name, kind, {arg}, [f](clsvyx7& c, std::span<Variant> a) {
        (c.*f)(a[0]);
        return Variant{};
    });
}

Member let(std::string_view name, void (clsvyx7::*f)(Variant&), std::string_view arg) {
    return one_by_ref(name, MemberKind::Let, f, arg);
}

Member set(std::string_view name, void (clsvyx7::*f)(Variant&), std::string_view arg) {
    return one_by_ref(name, MemberKind::Set, f, arg);
}

// ComObject takes its value by value: the caller's variable is never written.
Member let(std::string_view name, void (clsvyx7::*f)(Variant), std::string_view arg) {
    return make(name, MemberKind::Let, {arg}, [f](clsvyx7& c, std::span<Variant> a) {
        (c.*f)(a[0]);
        return Variant{};
    });
}

Member method(std::string_view name, void (clsvyx7::*f)()) {
    return make(name, MemberKind::Method, {}, [f](clsvyx7& c, std::span<Variant>) {
        (c.*f)();
        return Variant{};
    });
}

Member method(std::string_view name, void (clsvyx7::*f)(Variant&), std::string_view arg) {
    return one_by_ref(name, MemberKind::Method, f, arg);
}

Member method(std::string_view name, void (clsvyx7::*f)(Variant&, Variant&), Names args) {
    return make(name, MemberKind::Method, std::move(args), [f](clsvyx7& c, std::span<Variant> a) {
        (c.*f)(a[0], a[1]);
        return Variant{};
    });
}

Member method(std::string_view name, void (clsvyx7::*f)(Variant&, Variant&, Variant&), Names args) {
    return make(name, MemberKind::Method, std::move(args), [f](clsvyx7& c, std::span<Variant> a) {
        (c.*f)(a[0], a[1], a[2]);
        return Variant{};
    });
}

// In the interface, the colour write stands among the switch members, right after this one.
constexpr std::string_view kColourWriteFollows = "overlay_wit_zwart";

// The switch members come from the one switch list; the colour write stands among them.
void add_switch_members(std::vector<Member>& members) {
#define QUARN7_SWITCH_MEMBER(member, code, lengte_laag) \
    members.push_back(method(#member, &clsvyx7::member));
    QUARN7_SWITCH_COMMANDS(QUARN7_SWITCH_MEMBER)
#undef QUARN7_SWITCH_MEMBER
    const auto follows = std::find_if(members.begin(), members.end(), [](const Member& m) {
        return m.name == kColourWriteFollows;
    });
    members.insert(follows + 1,
                   method("overlay_wit_zwart_wissel", &clsvyx7::overlay_wit_zwart_wissel, "kleur"));
}

std::vector<Member> build_members() {
    using C = clsvyx7;
    std::vector<Member> m;
    m.push_back(get("regel", &C::regel));
    m.push_back(let("regel", &C::regel, "value"));
    m.push_back(get("kolom", &C::kolom));
    m.push_back(let("kolom", &C::kolom, "value"));
    m.push_back(get("mvarComObject", &C::mvarComObject));
    m.push_back(set("mvarComObject", &C::mvarComObject, "value"));
    m.push_back(let("ComObject", &C::ComObject, "value"));
    m.push_back(method("OpenClose", &C::OpenClose, "blnValue"));
    m.push_back(get("Poort_nummer", &C::Poort_nummer));
    m.push_back(let("Poort_nummer", &C::Poort_nummer, "value"));
    m.push_back(method("settings", &C::settings, "test"));
    m.push_back(method("dat_leeg", &C::dat_leeg));
    m.push_back(method("floating_point_lezen", &C::floating_point_lezen, "Waarde"));
    m.push_back(method("floating_point_zetten", &C::floating_point_zetten, {"Waarde", "opdr"}));
    add_switch_members(m);
    m.push_back(method("voeruit1", &C::voeruit1));
    m.push_back(get("afstand", &C::afstand));
    m.push_back(get("afstand2", &C::afstand2));
    m.push_back(get("lees_data", &C::lees_data, "tekst"));
    m.push_back(get("lees_tijd", &C::lees_tijd, "tekst"));
    m.push_back(get("lees_waarde", &C::lees_waarde, "tekst"));
    m.push_back(let("afstand", &C::afstand, "afstand"));
    m.push_back(let("afstand2", &C::afstand2, "afstand2"));
    m.push_back(let("foto_nummer", &C::foto_nummer, "Waarde"));
    m.push_back(let("schrijf_2byte_waarde", &C::schrijf_2byte_waarde, "tekst"));
    m.push_back(let("schrijf_commando", &C::schrijf_commando, "tekst"));
    m.push_back(let("kies_systeemtekstveld", &C::kies_systeemtekstveld, "value"));
    m.push_back(let("schrijf_systeemtekstveld", &C::schrijf_systeemtekstveld, "value"));
    m.push_back(let("schrijf_tekst_veld", &C::schrijf_tekst_veld, "value"));
    m.push_back(let("venster_zetten", &C::venster_zetten, "value"));
    m.push_back(let("waarde_schrijven", &C::waarde_schrijven, "tekst"));
    m.push_back(let("eenheid_lc1", &C::eenheid_lc1, "Waarde"));
    m.push_back(let("eenheid_lc2", &C::eenheid_lc2, "Waarde"));
    m.push_back(let("factor_lc1", &C::factor_lc1, "Waarde"));
    m.push_back(let("factor_lc2", &C::factor_lc2, "Waarde"));
    m.push_back(let("eenheid_temperatuur", &C::eenheid_temperatuur, "Waarde"));
    m.push_back(let("tijd", &C::tijd, "value"));
    m.push_back(let("videoteller", &C::videoteller, "tekst"));
    m.push_back(method("voeruit3", &C::voeruit3));
    m.push_back(method("voeruit5", &C::voeruit5, "tekst"));
    m.push_back(method("ZetTekst", &C::ZetTekst, {"tekst", "veld"}));
    m.push_back(method("zettekst_x_y", &C::zettekst_x_y, {"x", "y", "tekst"}));
    m.push_back(method("meldingen", &C::meldingen));
    m.push_back(method("hooglaag", &C::hooglaag, {"Waarde", "hoog", "laag"}));
    m.push_back(get("revisie", &C::revisie, "tekst"));
    m.push_back(get("constante_zelmar5", &C::constante_zelmar5, "tekst"));
    m.push_back(get("helling_instant", &C::helling_instant));
    m.push_back(get("helling_instant_ana", &C::helling_instant_ana));
    return m;
}

}  // namespace

std::string_view kind_name(MemberKind kind) {
    switch (kind) {
        case MemberKind::Get:
            return "get";
        case MemberKind::Let:
            return "let";
        case MemberKind::Set:
            return "set";
        case MemberKind::Method:
            return "method";
    }
    return "?";
}

const std::vector<Member>& interface_members() {
    static const std::vector<Member> members = build_members();
    return members;
}

const Member* find_member(std::string_view name, MemberKind kind) {
    const auto& members = interface_members();
    const auto it = std::find_if(members.begin(), members.end(),
                                 [&](const Member& m) { return m.name == name && m.kind == kind; });
    return it == members.end() ? nullptr : &*it;
}

}  // namespace quarn7
