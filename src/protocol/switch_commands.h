// The switch table: one row per do-command without arguments, from the switch list.
#pragma once

#include <cstdint>
#include <string_view>

#include "quarn7/switch_list.h"

namespace quarn7 {

struct SwitchCommand {
    std::string_view member;
    std::uint8_t code;
    std::uint8_t lengte_laag;
};

inline constexpr SwitchCommand kSwitchCommands[] = {
#define QUARN7_SWITCH_ROW(member, code, lengte_laag) {#member, code, lengte_laag},
    QUARN7_SWITCH_COMMANDS(QUARN7_SWITCH_ROW)
#undef QUARN7_SWITCH_ROW
};

// The row of a member, or nullptr.
const SwitchCommand* find_switch_command(std::string_view member);

}  // namespace quarn7
