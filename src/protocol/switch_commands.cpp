#include "protocol/switch_commands.h"

#include <algorithm>

namespace quarn7 {

const SwitchCommand* find_switch_command(std::string_view member) {
    const auto* row = std::ranges::find(kSwitchCommands, member, &SwitchCommand::member);
    return row == std::end(kSwitchCommands) ? nullptr : row;
}

}  // namespace quarn7
