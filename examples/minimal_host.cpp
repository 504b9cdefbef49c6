// The smallest host: open a line, switch a counter window on, write the counter, read the tilt.
//   minimal_host /dev/ttyUSB0
#include <iostream>
#include <memory>

#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"
#include "quarn7/termios_port.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: minimal_host DEVICE\n";
        return 2;
    }
    try {
        auto de = std::make_shared<quarn7::clsvyx7>();
        auto port = std::make_shared<quarn7::TermiosPort>();
        port->bind(argv[1]);
        de->ComObject(quarn7::Variant(std::static_pointer_cast<quarn7::Object>(port)));
        quarn7::Variant open(true);
        de->OpenClose(open);
        if (!port->PortOpen()) {
            std::cerr << "cannot open " << argv[1] << ": " << de->last_open_error() << "\n";
            return 1;
        }

        de->meterteller_aan();
        quarn7::Variant distance(12.3);
        de->afstand(distance);
        quarn7::Variant tekst(std::int16_t{45});
        de->lees_waarde(tekst);
        if (de->last_outcome() != quarn7::Outcome::ReplyReceived) {
            std::cerr << "the unit did not answer\n";
            return 1;
        }
        std::cout << "counter written as " << distance.to_text() << " tenths, tilt "
                  << tekst.to_text() << " degrees\n";
    } catch (const quarn7::Error& e) {
        std::cerr << "error " << e.code() << ": " << e.description() << "\n";
        return 1;
    }
}
