#include "platform/line_address.h"

#include <string>

#include "quarn7/error.h"
#include "quarn7/termios_port.h"

namespace quarn7 {

std::shared_ptr<SerialPort> port_for_address(std::string_view address) {
    if (const auto scheme = address.find("://"); scheme != std::string_view::npos) {
        throw Error(ErrorNumber::InvalidArgument,
                    "No line of kind " + std::string(address.substr(0, scheme)));
    }
    auto port = std::make_shared<TermiosPort>();
    port->bind(std::string(address));
    return port;
}

}  // namespace quarn7
