// The smallest host: open a line, switch a counter window on, write the counter, read it back.
//   minimal_host /dev/ttyUSB0    a unit on that line
//   minimal_host                 the simulated unit on an in-process line
#include <quarn7/quarn7.h>

#include <iostream>

int main(int argc, char** argv) {
    try {
        auto unit = quarn7::sim::SimulatedUnit::Builder().build_in_process();
        auto de = argc > 1 ? quarn7::open(argv[1]) : quarn7::open(unit->port());

        de->meterteller_aan();                  // window of distance counter 1 on
        quarn7::Variant distance(12.3);
        de->afstand(distance);                  // writes 123 tenths; distance is now 123
        quarn7::Variant tekst(std::int16_t{45});
        de->lees_waarde(tekst);                 // tekst: the digital tilt in degrees
        if (de->last_outcome() != quarn7::Outcome::ReplyReceived) {
            std::cerr << "the unit did not answer\n";
            return 1;
        }
        std::cout << "counter " << de->afstand().to_text() << ", tilt " << tekst.to_text() << '\n';
    } catch (const quarn7::Error& e) {  // the port's own error, or a member's
        std::cerr << "error " << e.code() << ": " << e.description() << '\n';
        return 1;
    }
}
