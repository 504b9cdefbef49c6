// quarn7-sim: the simulated overlay unit on a pseudo-terminal, for host programs and rigs without
// the hardware. The first line of output is the device to open.
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "common/sim_options.h"
#include "listen.h"
#include "sim/hex.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string seconds_since(Clock::time_point start, Clock::time_point t) {
    char text[32];
    std::snprintf(text, sizeof text, "%12.6f", std::chrono::duration<double>(t - start).count());
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quarn7;

    CLI::App app{
        "Simulated overlay unit (DE) on a pseudo-terminal.\n"
        "Prints the device path on the first line, then answers frames until SIGINT or SIGTERM.\n"
        "SIGUSR1 prints the unit's state."};
    apps::SimOptions options;
    bool log = false;
    bool print_state = false;
    app.add_option("--link", options.link, "Also make the device reachable at this symlink")
        ->type_name("PATH");
    app.add_flag("--log", log,
                 "Print one line per frame: seconds since start, frame, answer (hex)");
    app.add_flag("--print-state", print_state, "Print the unit's state when stopped");
    std::string listen;
    app.add_option("--listen", listen,
                   "Also serve the unit over raw TCP, one client at a time (port 0: any free one); "
                   "the first line is then the line address")
        ->type_name("HOST:PORT");
    apps::add_sim_options(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;  // a usage error, as in quarn7
    }

    // Blocked before the unit's thread starts, so only sigwait below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::mutex output;
    const auto start = Clock::now();
    auto builder = apps::sim_builder(options);
    builder.log_frames(false);  // printed as they come; a long run must not grow
    if (log) {
        builder.on_frame([&](const sim::LoggedFrame& frame) {
            const std::string answer = frame.answer.empty() ? "-" : sim::hex_dump(frame.answer);
            std::lock_guard lock(output);
            std::cout << seconds_since(start, frame.received) << "  " << sim::hex_dump(frame.bytes)
                      << "  -> " << answer << std::endl;
        });
        builder.on_noise([&](Clock::time_point at, const std::string& bytes) {
            std::lock_guard lock(output);
            std::cout << seconds_since(start, at) << "  noise " << sim::hex_dump(bytes)
                      << std::endl;
        });
    }

    std::unique_ptr<sim::SimulatedUnit> unit;
    std::unique_ptr<apps::TcpRelay> relay;
    try {
        unit = builder.build();
        if (!listen.empty()) relay = std::make_unique<apps::TcpRelay>(listen, unit->device_path());
    } catch (const std::exception& e) {
        std::cerr << "quarn7-sim: " << e.what() << '\n';
        return 1;
    }
    {
        std::lock_guard lock(output);
        std::cout << (relay ? relay->address() : unit->device_path()) << std::endl;
    }

    for (;;) {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal != SIGUSR1) break;
        std::lock_guard lock(output);
        std::cout << sim::describe(unit->state()) << std::flush;
    }
    if (print_state) {
        std::lock_guard lock(output);
        std::cout << sim::describe(unit->state()) << std::flush;
    }
    relay.reset();
    unit.reset();
    return 0;
}
