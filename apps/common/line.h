// The line an app drives: the built-in simulated unit, a line address (a device path,
// tcp://HOST:PORT, rfc2217://HOST:PORT), or the device a port number maps to.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/sim_options.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/termios_port.h"

namespace quarn7::apps {

struct Line {
    std::shared_ptr<SerialPort> port;
    std::unique_ptr<sim::SimulatedUnit> unit;  // lives as long as the line
};

// Hands `de` a port bound to a new simulated unit (`simulate`), for the line address `device`, or,
// with neither, to whatever device the port number maps to when it opens. A malformed address
// raises InvalidArgument.
Line attach_line(clsvyx7& de, bool simulate, const SimOptions& sim, const std::string& device);

// Opens the port as a host does; when it stays closed, says why on standard error and gives false.
bool open_line(clsvyx7& de, const Line& line, std::string_view program);

}  // namespace quarn7::apps
