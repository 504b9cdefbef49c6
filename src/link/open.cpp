#include "quarn7/open.h"

#include <utility>

#include "platform/line_address.h"
#include "quarn7/termios_port.h"

namespace quarn7 {

std::shared_ptr<clsvyx7> open(std::shared_ptr<SerialPort> port) {
    auto de = std::make_shared<clsvyx7>();
    de->ComObject(Variant(std::static_pointer_cast<Object>(std::move(port))));
    de->open_port();
    return de;
}

std::shared_ptr<clsvyx7> open(std::string_view address) {
    return open(port_for_address(address));
}

std::shared_ptr<clsvyx7> open(std::int16_t comm_port) {
    auto port = std::make_shared<TermiosPort>();
    port->CommPort(comm_port);
    return open(std::move(port));
}

}  // namespace quarn7
