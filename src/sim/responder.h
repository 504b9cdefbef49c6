// The unit without its line: one whole frame in, the answer out, with the state that do-commands
// and writes change and reads report.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "quarn7/simulated_unit.h"

namespace quarn7::sim {

// The state after a factory reset: overlay on, PAL, counter unit metre, text colour 1,
// clock 12:00 on 1-1-(20)24.
UnitState factory_state();

class Responder {
public:
    // Applies `frame` (STX to CR, at least 6 bytes) and gives what the unit sends back: ACK or NAK
    // for a do-command or write, a read reply or NAK for a read.
    std::string answer(std::string_view frame);

    const UnitState& state() const { return state_; }
    void set_tilt(std::uint16_t digital, std::uint16_t analogue);
    // Data the unit sends for `item` from now on, whatever its state says.
    void set_item_data(int item, std::string data);
    // The data bytes of the reply to `item`; nullopt for an item the unit does not know.
    std::optional<std::string> item_data(int item) const;

private:
    bool do_command(int code, int lengte_laag, int lengte_hoog);
    bool write(int code, std::string_view data);

    UnitState state_ = factory_state();
    std::map<int, std::string> item_overrides_;
};

}  // namespace quarn7::sim
