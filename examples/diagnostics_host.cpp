// A host that keeps a record of what happened on the line: every byte written and read with its
// time, the controller's messages, and each call's outcome, which the classic members never return.
//   diagnostics_host /dev/ttyUSB0    a unit on that line
//   diagnostics_host                 the simulated unit on an in-process line, silent on purpose
#include <quarn7/quarn7.h>

#include <cstdio>
#include <iostream>
#include <optional>

int main(int argc, char** argv) {
    try {
        using quarn7::TraceEvent;
        auto silent = quarn7::sim::SimulatedUnit::Builder().faults({.silent = true});
        auto unit = silent.build_in_process();
        auto de = argc > 1 ? quarn7::open(argv[1]) : quarn7::open(unit->port());
        std::optional<quarn7::Clock::time_point> start;  // seconds count from the first byte
        de->set_trace([&start](const TraceEvent& e) {
            const std::chrono::duration<double> at = e.time - start.value_or(e.time);
            start = start.value_or(e.time);
            const bool out = e.direction == TraceEvent::Direction::Out;
            std::printf("%9.6f %s", at.count(), out ? "TX" : "RX");
            for (const unsigned char b : e.bytes) std::printf(" %02X", b);
            std::printf("\n");
        });
        de->set_message_box([](const std::string& text) {
            std::cout << "message: " << text << '\n';
        });
        de->meldingen();  // diagnostics on: the echo of each frame, silence and refusals reported

        de->meterteller_aan();
        const auto outcome = de->last_outcome();
        std::cout << "meterteller_aan: " << (outcome ? quarn7::outcome_name(*outcome) : "no call")
                  << '\n';
        return outcome == quarn7::Outcome::Acknowledged ? 0 : 1;
    } catch (const quarn7::Error& e) {
        std::cerr << "error " << e.code() << ": " << e.description() << '\n';
        return 2;
    }
}
