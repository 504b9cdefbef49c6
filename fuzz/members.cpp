// Any member (but OpenClose, which would close the port, and voeruit1/3/5, which send what the last
// call left) with arguments of any type and value, on an open controller whose unit answers all.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cassert>
#include <set>

#include "quarn7/dispatch.h"
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

static bool well_formed(const std::string& f) {  // STX, lengte_laag/hoog, kind, code, ..., CR
    if (f.size() < 6 || f[0] != '\x02' || f.back() != '\r') return false;
    return f[3] == 0 ? f.size() == 7 && f[5] == 0 : f[3] == 1 ? f.size() == 6 : f[3] == 2;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider in(input, size);
    set_host_decimal_separator(in.ConsumeBool() ? ',' : '.');
    quarn7::testing::Controller unit;
    unit.port->answer_with(quarn7::testing::answer_every_frame());
    unit.open();
    const auto& writes = unit.port->writes();
    const auto& members = interface_members();
    while (in.remaining_bytes() > 0) {
        const Member& m = members[in.ConsumeIntegralInRange<std::size_t>(0, members.size() - 1)];
        if (m.name == "OpenClose" || m.name.starts_with("voeruit")) continue;
        std::vector<Variant> args(m.arguments.size());
        for (Variant& arg : args) arg = any_value(in);
        const std::size_t before = writes.size();
        if (const auto e = quarn7::testing::raised([&] { m.invoke(*unit.de, args); })) {
            assert(std::set({5, 6, 9, 13}).contains(e->code()));  // argument errors only
            // These two send their field selection before they can refuse their text.
            const bool selects = m.name == "schrijf_systeemtekstveld" || m.name == "zettekst_x_y";
            assert(writes.size() <= before + selects);
        }
        for (std::size_t i = before; i < writes.size(); ++i) assert(well_formed(writes[i].bytes));
    }
    return 0;
}
