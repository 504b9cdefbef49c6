// How the host shows values, calls and trace events: JSON for scripts and rigs, short readable
// lines for people.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"
#include "quarn7/serial_port.h"
#include "quarn7/variant.h"
#include "script_line.h"

namespace quarn7::cli {

using Json = nlohmann::ordered_json;

// {"type": T} plus "value" (a number, string or boolean) except for Empty and Object.
Json variant_json(const Variant& value);

// What one call did, as both outputs report it.
struct CallReport {
    const Member* member = nullptr;
    std::vector<Variant> args_before;
    std::vector<Variant> args_after;
    Variant result;
    std::vector<std::string> messages;
    std::optional<Outcome> outcome;
    std::optional<Error> error;
    bool not_done = false;  // under --strict: the unit did not do what was asked
};

// The call failed converting an argument (invalid argument, overflow, missing field, type).
bool is_conversion_error(const Error& error);

// {"call", "result", "args", "messages", "outcome", "error"}, in that order; a conversion error
// also says what the member "expects".
Json report_json(const CallReport& report);

// {"error": {"usage": message}}, with the script's "line" when there is one (above 0).
Json usage_json(const std::string& message, int line);

// "lees_waarde(45) -> tekst = -0.01 (Double) [reply_received]"; for an error
// "afstand=3276.8 -> error 6: Overflow: afstand expects 0..3276.7". Control characters in texts
// are escaped (\x01), so that the line stays one line and harmless to a terminal.
std::string report_line(const CallReport& report);

// "  0.012345 TX 02 01 00 00 26 00 0D": seconds since `start`, direction, bytes in hex.
std::string trace_line(const TraceEvent& event, Clock::time_point start);

}  // namespace quarn7::cli
