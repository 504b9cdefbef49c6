// How a host program tests its own use of the controller without hardware: the real controller
// against the simulated unit on an in-process line, healthy and then misbehaving on purpose.
// Prints one line a check and exits non-zero when one fails.
#include <quarn7/quarn7.h>

#include <iostream>

namespace {

int failed = 0;

void check(bool ok, const char* what) {
    std::cout << (ok ? "ok   " : "FAIL ") << what << '\n';
    failed += ok ? 0 : 1;
}

// The host's own routine under test: reset the counter, show it, write the distance.
void start_inspection(quarn7::clsvyx7& de, double metres) {
    de.Teller1_0();
    de.meterteller_aan();
    quarn7::Variant distance(metres);
    de.afstand(distance);
}

}  // namespace

int main() {
    using quarn7::Outcome;
    try {
        auto unit = quarn7::sim::SimulatedUnit::Builder().paced(false).build_in_process();
        auto de = quarn7::open(unit->port());

        start_inspection(*de, 12.3);
        check(unit->state().counter1 == 123, "the unit holds the distance in tenths");
        check(unit->state().switches.at(38), "the counter window is on");
        check(de->afstand().to_double() == 12.3, "the distance reads back");

        unit->set_faults({.silent = true});
        start_inspection(*de, 1.0);
        check(de->last_outcome() == Outcome::NoReaction, "a silent unit is noticed");

        unit->set_faults({.refuse = true});
        start_inspection(*de, 1.0);
        check(de->last_outcome() == Outcome::Refused, "a refusal is noticed");
        check(unit->state().counter1 == 123, "a refused write changes nothing");
    } catch (const quarn7::Error& e) {
        std::cout << "FAIL error " << e.code() << ": " << e.description() << '\n';
        return 1;
    }
    return failed == 0 ? 0 : 1;
}
