// The simulated unit's command-line options, shared by quarn7 --simulate, quarn7-sim and
// quarn7-panel --simulate.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "quarn7/simulated_unit.h"

namespace quarn7::apps {

struct SimOptions {
    bool unpaced = false;
    std::chrono::microseconds turnaround{1000};
    sim::Faults faults;
    std::string link;
};

// --unpaced, --turnaround US, --silent, --refuse, --delay MS, --late, --truncate N,
// --garbage HEX, --drop N, --close-after N
void add_sim_options(CLI::App& app, SimOptions& options);
// Whether the command line gave any of the simulated unit's options.
bool sim_options_given(const CLI::App& app);
// A builder set up from the options, for callers that add their own observers.
sim::SimulatedUnit::Builder sim_builder(const SimOptions& options);
std::unique_ptr<sim::SimulatedUnit> start_sim(const SimOptions& options);

}  // namespace quarn7::apps
