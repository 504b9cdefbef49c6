#include "common/line.h"

#include <iostream>

namespace quarn7::apps {

Line attach_line(clsvyx7& de, bool simulate, const SimOptions& sim, const std::string& device) {
    Line line{std::make_shared<TermiosPort>(), nullptr};
    if (simulate) {
        line.unit = start_sim(sim);
        line.port->bind(line.unit->device_path());
    } else if (!device.empty()) {
        line.port->bind(device);
    }
    de.ComObject(Variant(std::static_pointer_cast<Object>(line.port)));
    return line;
}

bool open_line(clsvyx7& de, const Line& line, std::string_view program) {
    Variant open(true);
    de.OpenClose(open);
    if (line.port->PortOpen()) return true;
    const std::string why = de.last_open_error();
    std::cerr << program << ": " << (why.empty() ? "cannot open " + line.port->device_path() : why)
              << '\n';
    return false;
}

}  // namespace quarn7::apps
