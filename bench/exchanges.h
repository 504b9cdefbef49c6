// The exchanges the benchmarks time: one member call of each transaction kind, as a host makes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quarn7/clsvyx7.h"
#include "quarn7/variant.h"

namespace quarn7::bench {

struct Exchange {
    std::string_view name;  // one word: also how the pyserial program names it
    std::string_view call;  // what the member call is
    bool read;              // answered by a read reply rather than an acknowledge
    void (*run)(clsvyx7& de);
};

inline constexpr std::string_view kText40 = "Inspection 0042 manhole 17 to manhole 18";
static_assert(kText40.size() == 40);

// Arguments are made afresh for every call: the members write back into them.
inline constexpr Exchange kExchanges[] = {
    {"do-command", "meterteller_aan()", false, [](clsvyx7& de) { de.meterteller_aan(); }},
    {"write", "afstand(1234.5)", false,
     [](clsvyx7& de) {
         Variant distance(1234.5);
         de.afstand(distance);
     }},
    {"text-write", "schrijf_tekst_veld(40 characters)", false,
     [](clsvyx7& de) {
         Variant text{std::string(kText40)};
         de.schrijf_tekst_veld(text);
     }},
    {"read", "lees_waarde(43)", true,
     [](clsvyx7& de) {
         Variant item(std::int16_t{43});
         de.lees_waarde(item);
     }},
};

inline Outcome expected_outcome(const Exchange& exchange) {
    return exchange.read ? Outcome::ReplyReceived : Outcome::Acknowledged;
}

}  // namespace quarn7::bench
