// The one place where a line address becomes a port object. Each kind of line is a SerialPort
// subclass; network lines (tcp://, rfc2217://) would be further schemes here.
#pragma once

#include <memory>
#include <string_view>

#include "quarn7/serial_port.h"

namespace quarn7 {

// A closed port for `address`: a device path. An address with a scheme no port here knows raises
// InvalidArgument.
std::shared_ptr<SerialPort> port_for_address(std::string_view address);

}  // namespace quarn7
