// Opening a line in one call: the controller comes back with its port open at the unit's line
// settings, or the port's own error (no such device, permission denied, port busy, host not
// found, connection refused, timed out connecting) is raised.
//
//   auto de = quarn7::open("/dev/ttyUSB0");   // a device path, tcp://HOST:PORT (a raw serial
//                                             // server), rfc2217://HOST:PORT, [IPv6]:PORT
//   auto de = quarn7::open(1);                // CommPort 1 (/dev/ttyS0 unless mapped)
//   auto de = quarn7::open(unit->port());     // any port object, e.g. a simulated unit's
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "quarn7/clsvyx7.h"
#include "quarn7/export.h"
#include "quarn7/serial_port.h"

namespace quarn7 {

QUARN7_API std::shared_ptr<clsvyx7> open(std::string_view address);
QUARN7_API std::shared_ptr<clsvyx7> open(std::int16_t comm_port);
QUARN7_API std::shared_ptr<clsvyx7> open(std::shared_ptr<SerialPort> port);

}  // namespace quarn7
