#include "commands/switch_commands.h"

#include <algorithm>

#include "link/call.h"
#include "link/clsvyx7.h"
#include "link/wire.h"

namespace quarn7 {

const SwitchCommand* find_switch_command(std::string_view member) {
    const auto* row = std::ranges::find(kSwitchCommands, member, &SwitchCommand::member);
    return row == std::end(kSwitchCommands) ? nullptr : row;
}

// All four words are written, so nothing of an earlier command rides along.
void clsvyx7::run_switch(std::uint8_t code, std::uint8_t lengte_laag) {
    s_.commando_code = code;
    s_.commando_soort = wire::DoCommand;
    s_.lengte_laag = lengte_laag;
    s_.lengte_hoog = 0;
    voeruit1();
}

#define QUARN7_DEFINE_SWITCH(member, code, lengte_laag) \
    void clsvyx7::member() {                            \
        const Call call(*this);                         \
        run_switch(code, lengte_laag);                  \
    }
QUARN7_SWITCH_COMMANDS(QUARN7_DEFINE_SWITCH)
#undef QUARN7_DEFINE_SWITCH

}  // namespace quarn7
