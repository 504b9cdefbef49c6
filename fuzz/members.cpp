// Every member that converts its arguments, called by name with any values over a scripted port:
// either exactly the frames its converted arguments make go out (and the write-backs are as
// converted), or it raises an argument error (5, 6, 9 or 13) and sends nothing it should not.
//
// Each member has a model here that builds its frames from the shared conversions and states its
// frame layout and byte order again, independently of the members' own code.
//
// Input: the host decimal separator, the member, then its argument values.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/dispatch.h"
#include "platform/codepage.h"
#include "platform/conversions.h"
#include "quarn7/error.h"
#include "support/scripted_port.h"

namespace quarn7::fuzz {
namespace {

using Frames = std::vector<std::string>;
using Args = std::vector<Variant>;
using namespace std::chrono_literals;

constexpr char kStx = 0x02;
constexpr char kCr = 0x0D;
constexpr int kWrite = 2;

[[noreturn]] void invalid() {
    throw Error(ErrorNumber::InvalidArgument);
}

char word(long value) {
    if (value < 0 || value > 255) invalid();
    return static_cast<char>(value);
}

// STX, length low, length high, kind, code, data, CR.
std::string frame(int kind, long code, long length, std::string_view data) {
    std::string f{kStx, word(length % 256), word(length / 256), word(kind), word(code)};
    return f + std::string(data) + kCr;
}

std::string write_frame(long code, long length, std::string_view data) {
    return frame(kWrite, code, length, data);
}

// A 16-bit field: byte(low), then byte(high), split with floor.
std::string low_high(double w) {
    const double high = std::floor(w / 256);
    return {to_byte(w - 256 * high), to_byte(high)};
}

// Text on the wire: each code page byte, then 0.
std::string text_units(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) out += {c, '\0'};
    return out;
}

std::string text_frame(const Variant& text) {
    const std::string bytes = to_cp1252(text.to_text());
    return write_frame(161, 2 * static_cast<long>(bytes.size()), text_units(bytes));
}

// The value and code fields of "value|code".
std::vector<std::string> value_and_code(const Variant& text) {
    auto fields = split(text.to_text(), '|');
    field(fields, 1);
    return fields;
}

// "value|code": the code is the leading number of its field.
void value_write(const Variant& text, Frames& out) {
    const auto f = value_and_code(text);
    const std::int16_t code = to_int16(leading_number(f[1]));
    out.push_back(write_frame(code, 1, std::string(1, to_byte(Variant(f[0])))));
}

std::function<void(Args&, Frames&)> byte_write(long code) {
    return [code](Args& a, Frames& out) {
        out.push_back(write_frame(code, 1, std::string(1, to_byte(a[0]))));
    };
}

// The counter in tenths, four bytes least significant first. The top byte weighs 2^32 (as on the
// read side), so the three below must hold what remains.
std::string counter_bytes(double tenths) {
    constexpr double k2e32 = 4294967296.0;
    const double top = std::floor(tenths / k2e32);
    const double rest = tenths - top * k2e32;
    if (!(rest < 16777216)) invalid();
    const auto whole = static_cast<std::uint32_t>(std::floor(rest));
    return {to_byte((whole & 0xFF) + (rest - whole)), static_cast<char>((whole >> 8) & 0xFF),
            static_cast<char>(whole >> 16), to_byte(top)};
}

// Beyond the single range the unit's form has only an infinity to offer.
std::string single_bytes(double x) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const bool beyond = std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max();
    const float f = beyond ? (x > 0 ? kInfinity : -kInfinity) : static_cast<float>(x);
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return {static_cast<char>(bits >> 24), static_cast<char>(bits >> 16),
            static_cast<char>(bits >> 8), static_cast<char>(bits)};
}

std::string read_request(int item) {
    return frame(1, item, 0, {});
}

void read_model(Args& a, Frames& out) {
    const std::string request = read_request(to_int16(leading_number(a[0])));
    out.assign(3, request);  // the scripted unit never answers a read
    a[0] = Variant(std::string());
}

struct Case {
    std::string_view name;
    MemberKind kind;
    std::function<void(Args&, Frames&)> model;
};

const Case kCases[] = {
    {"overlay_wit_zwart_wissel", MemberKind::Method,
     [](Args& a, Frames& out) {
         const double colour = leading_number(a[0]);
         a[0] = Variant(colour);
         out.push_back(write_frame(145, 1, plain_form(colour)));
     }},
    {"afstand", MemberKind::Let,
     [](Args& a, Frames& out) {
         const std::int16_t tenths = to_int16(a[0].to_double() * 10);
         a[0] = Variant(tenths);
         out.push_back(write_frame(35, 4, counter_bytes(tenths)));
     }},
    {"afstand2", MemberKind::Let,
     [](Args& a, Frames& out) {
         const double tenths = a[0].to_double() * 10;
         a[0] = Variant(tenths);
         out.push_back(write_frame(39, 4, counter_bytes(tenths)));
     }},
    {"foto_nummer", MemberKind::Let,
     [](Args& a, Frames& out) { out.push_back(write_frame(33, 2, low_high(a[0].to_double()))); }},
    {"schrijf_2byte_waarde", MemberKind::Let,
     [](Args& a, Frames& out) {
         const auto f = value_and_code(a[0]);
         const std::int16_t code = Variant(f[1]).to_integer();
         out.push_back(write_frame(code, 2, low_high(Variant(f[0]).to_double())));
     }},
    {"schrijf_commando", MemberKind::Let,
     [](Args& a, Frames& out) {
         const auto f = value_and_code(a[0]);
         const std::int16_t code = Variant(f[1]).to_integer();
         out.push_back(write_frame(code, 1, std::string(1, to_byte(Variant(f[0])))));
     }},
    {"waarde_schrijven", MemberKind::Let, [](Args& a, Frames& out) { value_write(a[0], out); }},
    {"kies_systeemtekstveld", MemberKind::Let, byte_write(162)},
    {"eenheid_lc1", MemberKind::Let, byte_write(37)},
    {"eenheid_lc2", MemberKind::Let, byte_write(38)},
    {"factor_lc1", MemberKind::Let, byte_write(41)},
    {"factor_lc2", MemberKind::Let, byte_write(42)},
    {"eenheid_temperatuur", MemberKind::Let, byte_write(40)},
    {"schrijf_tekst_veld", MemberKind::Let,
     [](Args& a, Frames& out) { out.push_back(text_frame(a[0])); }},
    {"schrijf_systeemtekstveld", MemberKind::Let,
     [](Args& a, Frames& out) {
         out.push_back(write_frame(162, 1, "\x01"));
         out.push_back(text_frame(a[0]));
     }},
    {"venster_zetten", MemberKind::Let,
     [](Args& a, Frames& out) {
         const auto f = split(a[0].to_text(), '|');
         const double x = Variant(field(f, 0)).to_double() * 15;
         const double y = Variant(field(f, 1)).to_double() * 15;
         const std::int16_t code = to_int16(leading_number(field(f, 2)));
         out.push_back(write_frame(code, 4, low_high(x < 0 ? 0 : x) + low_high(y < 0 ? 0 : y)));
     }},
    {"tijd", MemberKind::Let,
     [](Args& a, Frames& out) {
         const auto parts = split(a[0].to_text(), '|');
         const auto time = split(field(parts, 0), ':');
         const auto date = split(field(parts, 1), '-');
         const Variant minute(field(time, 1));
         const Variant day(field(date, 0));
         const Variant month(field(date, 1));
         Variant year(field(date, 2));
         if (leading_number(year) >= 2000) year = Variant(year.to_double() - 2000);
         std::string data;
         for (const Variant& v : {minute, Variant(time[0]), day, month, year}) {
             data += to_byte(v.to_integer());
         }
         out.push_back(write_frame(32, 5, data));
     }},
    {"videoteller", MemberKind::Let,
     [](Args& a, Frames& out) {
         const std::string text = to_cp1252(a[0].to_text());
         std::string data;
         for (const std::size_t at : {6, 3, 0}) {
             data += to_byte(leading_number(text.substr(std::min(at, text.size()), 2)));
         }
         out.push_back(write_frame(36, 3, data));
     }},
    {"ZetTekst", MemberKind::Method,
     [](Args& a, Frames& out) {
         a[0] = Variant(trim_spaces(a[0].to_text()));
         const std::string bytes = to_cp1252(a[0].to_text());
         const std::int16_t code = to_int16(leading_number(a[1]));
         out.push_back(write_frame(code, static_cast<long>(bytes.size()), text_units(bytes)));
     }},
    {"zettekst_x_y", MemberKind::Method,
     [](Args& a, Frames& out) {
         if (leading_number(a[0]) < 1) a[0] = Variant(std::int16_t{1});
         if (leading_number(a[0]) > 16) a[0] = Variant(std::int16_t{16});
         // Through waarde_schrijven, so a "|" in x splits it there too.
         value_write(Variant(trim_spaces(a[0].to_text()) + "|160"), out);
         out.push_back(text_frame(a[2]));
     }},
    {"hooglaag", MemberKind::Method,
     [](Args& a, Frames&) {
         const double w = a[0].to_double();
         a[1] = Variant(std::floor(w / 256));
         a[2] = Variant(w - 256 * std::floor(w / 256));
     }},
    {"floating_point_zetten", MemberKind::Method,
     [](Args& a, Frames&) { a[1] = Variant(from_cp1252(single_bytes(leading_number(a[0])))); }},
    {"lees_data", MemberKind::Get, read_model},
    {"lees_tijd", MemberKind::Get, read_model},
    {"lees_waarde", MemberKind::Get, read_model},
};

bool is_nan(const Variant& v) {
    return (v.type() == VarType::Single && std::isnan(v.single_value())) ||
           (v.type() == VarType::Double && std::isnan(v.double_value()));
}

// Equal, with NaN equal to itself (a caller may hand one in, a write-back may be one).
bool same(const Variant& a, const Variant& b) {
    return (a.type() == b.type() && is_nan(a) && is_nan(b)) || a == b;
}

Variant any_value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0:
            return {};
        case 1:
            return in.ConsumeIntegral<std::int16_t>();
        case 2:
            return in.ConsumeIntegral<std::int32_t>();
        case 3:
            return std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
        case 4:
            return std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
        case 5:
            return in.ConsumeBool();
        default:
            return in.ConsumeRandomLengthString(48);
    }
}

bool argument_error(ErrorNumber n) {
    return n == ErrorNumber::InvalidArgument || n == ErrorNumber::Overflow ||
           n == ErrorNumber::SubscriptOutOfRange || n == ErrorNumber::TypeMismatch;
}

}  // namespace
}  // namespace quarn7::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7;
    using namespace quarn7::fuzz;
    FuzzedDataProvider in(input, size);
    set_host_decimal_separator(in.ConsumeBool() ? ',' : '.');
    const Case& c = kCases[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kCases) - 1)];
    const Member* member = find_member(c.name, c.kind);
    check(member != nullptr, "every modelled member is in the interface");
    Args args;
    for (std::size_t i = 0; i < member->arguments.size(); ++i) args.push_back(any_value(in));

    testing::FakeClock clock;
    auto port = std::make_shared<testing::ScriptedPort>(clock);
    port->answer_with([](const std::string& f) {
        return f[3] == kWrite ? testing::Answer{{1ms, "\x06"}} : testing::Answer{};
    });
    clsvyx7 de;
    de.set_clock(clock);
    de.set_message_box(nullptr);
    de.ComObject(Variant(std::static_pointer_cast<Object>(port)));
    Variant yes(true);
    de.OpenClose(yes);

    Args expected_args = args;
    Frames expected;
    std::optional<ErrorNumber> expected_error;
    try {
        c.model(expected_args, expected);
    } catch (const Error& e) {
        expected_error = e.number();
    }

    std::optional<ErrorNumber> error;
    try {
        member->invoke(de, std::span(args));
    } catch (const Error& e) {
        error = e.number();
    }
    // Which member failed, for the report of a failed property (the input replays the call).
    const auto expect = [&](bool ok, const char* property) {
        if (!ok) std::fprintf(stderr, "%s\n", std::string(c.name).c_str());
        check(ok, property);
    };
    if (error) expect(argument_error(*error), "only argument errors");
    expect(error.has_value() == expected_error.has_value(), "raises exactly when the model does");
    expect(port->frames() == expected, "the frames the converted arguments make, no others");
    if (!error) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            expect(same(args[i], expected_args[i]), "write-backs as converted");
        }
    }
    return 0;
}
