#include "common/line.h"

#include <iostream>

#include "platform/line_address.h"

namespace quarn7::apps {

Line attach_line(clsvyx7& de, bool simulate, const SimOptions& sim, const std::string& device) {
    Line line;
    if (simulate) line.unit = start_sim(sim);
    const std::string address = simulate ? line.unit->device_path() : device;
    if (address.empty()) {
        line.port = std::make_shared<TermiosPort>();
    } else {
        line.port = port_for_address(address);
    }
    de.ComObject(Variant(std::static_pointer_cast<Object>(line.port)));
    return line;
}

bool open_line(clsvyx7& de, const Line& line, std::string_view program) {
    Variant open(true);
    de.OpenClose(open);
    if (line.port->PortOpen()) return true;
    const std::string why = de.last_open_error();
    std::cerr << program << ": " << (why.empty() ? "cannot open the line" : why) << '\n';
    return false;
}

}  // namespace quarn7::apps
