// The switch members: one line each, from the switch list.
#include "commands/command_helpers.h"
#include "link/call.h"
#include "quarn7/clsvyx7.h"
#include "protocol/frame.h"
#include "protocol/switch_commands.h"

namespace quarn7 {

void clsvyx7::run_switch(std::uint8_t code, std::uint8_t lengte_laag) {
    set_command_words(s_, wire::DoCommand, code, lengte_laag);
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
