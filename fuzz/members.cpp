// Calls to any member of the interface by name, in any order, with arguments of any type and value,
// on an open controller whose unit acknowledges every frame and answers every read:
//   - a call returns or raises a quarn7::Error numbered 5, 6, 9 or 13 (an argument error);
//   - a call that raises sent nothing, except that schrijf_systeemtekstveld and zettekst_x_y may
//     have sent one frame (their field selection) before their text was refused;
//   - every frame sent is STX, lengte_laag, lengte_hoog, kind 0, 1 or 2, code, then for kind 0
//     the kind again and CR (7 bytes), for kind 1 CR (6 bytes), for kind 2 data and CR.
// Left out: OpenClose (the port stays open), voeruit1/3/5 (they send what the last call left).
// Input: the host decimal separator, then calls: a member's index, then its argument values.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>

#include "check.h"
#include "link/clsvyx7.h"
#include "link/dispatch.h"
#include "platform/conversions.h"
#include "support/scripted_port.h"

using namespace quarn7;

static Variant any_value(FuzzedDataProvider& in) {
    const int type = in.ConsumeIntegralInRange(0, 7);
    if (type == 1) return in.ConsumeIntegral<std::int16_t>();
    if (type == 2) return in.ConsumeIntegral<std::int32_t>();
    if (type == 3) return std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
    if (type == 4) return std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
    if (type == 5) return in.ConsumeBool();
    if (type == 6) return std::make_shared<Object>();  // no default property, so no text either
    return type == 7 ? Variant(in.ConsumeRandomLengthString(48)) : Variant();
}

static bool well_formed(const std::string& f) {
    if (f.size() < 6 || f[0] != '\x02' || f.back() != '\r') return false;
    return f[3] == 0 ? f.size() == 7 && f[5] == 0 : f[3] == 1 ? f.size() == 6 : f[3] == 2;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    set_host_decimal_separator(in.ConsumeBool() ? ',' : '.');
    testing::FakeClock clock;
    const auto port = std::make_shared<testing::ScriptedPort>(clock);
    port->answer_with(testing::answer_every_frame());
    clsvyx7 de;
    de.set_clock(clock);
    de.set_message_box(nullptr);
    de.ComObject(Variant(std::static_pointer_cast<Object>(port)));
    port->PortOpen(true);
    const auto& members = interface_members();
    while (in.remaining_bytes() > 0) {
        const Member& m = members[in.ConsumeIntegralInRange<std::size_t>(0, members.size() - 1)];
        if (m.name == "OpenClose" || m.name.starts_with("voeruit")) continue;
        std::vector<Variant> args(m.arguments.size());
        for (Variant& arg : args) arg = any_value(in);
        const std::size_t before = port->writes().size();
        try {
            m.invoke(de, args);
        } catch (const Error& e) {
            const int n = e.code();
            check(n == 5 || n == 6 || n == 9 || n == 13, "only argument errors", m.name);
            const bool selects = m.name == "schrijf_systeemtekstveld" || m.name == "zettekst_x_y";
            check(port->writes().size() <= before + selects, "a refused call sent nothing", m.name);
        }
        for (std::size_t i = before; i < port->writes().size(); ++i) {
            check(well_formed(port->writes()[i].bytes), "every frame well formed", m.name);
        }
    }
    return 0;
}
