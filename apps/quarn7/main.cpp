// quarn7: calls any member of the overlay unit's controller by name, against a serial device or
// the built-in simulated unit. Exit status: 0 every call completed, 1 a call raised an error,
// 2 a usage error, 3 under --strict a call the unit did not do (see host.h).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/line.h"
#include "host.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/dispatch.h"
#include "output.h"
#include "quarn7/error.h"
#include "script_line.h"
#include "tour.h"

namespace {

using namespace quarn7;
using cli::Json;
using cli::kUsageExit;

struct Options {
    std::string device;
    std::int16_t port_number = 1;
    bool simulate = false;
    apps::SimOptions sim;
    bool diagnostics = false;
    bool no_open = false;
    bool trace = false;
    bool json = false;
    bool strict = false;
    bool keep_going = false;
    bool fast_reads = false;
    bool list_members = false;
    bool list_ports = false;
    bool tour = false;
    std::string script;
    std::vector<std::string> call;
};

std::string dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void list_members(bool json) {
    for (const auto& m : interface_members()) {
        if (json) {
            Json row{{"name", std::string(m.name)}, {"kind", std::string(kind_name(m.kind))}};
            row["arguments"] = Json::array();
            for (const auto arg : m.arguments) row["arguments"].push_back(std::string(arg));
            row["expects"] = cli::expected_arguments(m);
            std::cout << dump(row) << '\n';
            continue;
        }
        std::string line = std::string(m.name);
        line.resize(std::max<std::size_t>(line.size() + 1, 32), ' ');
        line += kind_name(m.kind);
        for (std::size_t i = 0; i < m.arguments.size(); ++i) {
            line += " " + cli::argument_with_form(m, i);
        }
        std::cout << line << '\n';
    }
}

void list_ports(bool json) {
    const auto ports = quarn7::list_ports();
    for (const auto& p : ports) {
        if (json) {
            std::cout << dump(Json{{"device", p.device},
                                   {"driver", p.driver},
                                   {"usb_vendor_id", p.usb_vendor_id},
                                   {"usb_product_id", p.usb_product_id},
                                   {"serial_number", p.serial_number},
                                   {"description", p.description},
                                   {"by_id", p.by_id}})
                      << '\n';
            continue;
        }
        std::cout << p.device << "  driver " << (p.driver.empty() ? "-" : p.driver);
        if (!p.usb_vendor_id.empty()) {
            std::cout << "  usb " << p.usb_vendor_id << ':' << p.usb_product_id;
        }
        if (!p.serial_number.empty()) std::cout << "  serial " << p.serial_number;
        if (!p.description.empty()) std::cout << "  \"" << p.description << '"';
        for (const auto& name : p.by_id) std::cout << "  " << name;
        std::cout << '\n';
    }
    if (ports.empty() && !json) std::cerr << "quarn7: no serial ports found\n";
}

// One call, or each line of `script`; the port is open around them unless --no-open.
int run(const Options& options, std::istream* script) {
    auto de = std::make_shared<clsvyx7>();
    cli::Host host(*de, {options.json, options.strict, options.keep_going}, std::cout, std::cerr);
    de->set_message_box([&host](const std::string& text) { host.show_message(text); });
    de->set_fast_reads(options.fast_reads);
    if (options.trace) {
        const auto start = steady_clock().now();
        de->set_trace([start](const TraceEvent& event) {
            std::cerr << cli::trace_line(event, start) << std::endl;
        });
    }

    const apps::Line line = apps::attach_line(*de, options.simulate, options.sim, options.device);
    if (options.diagnostics) de->meldingen();
    Variant number(options.port_number);
    de->Poort_nummer(number);
    // A line that will not open is a failed run, not a run of calls that send nothing.
    if (!options.no_open && !apps::open_line(*de, line, "quarn7")) return cli::kFailed;

    const auto close = [&] {
        if (!line.port->PortOpen()) return;
        Variant closed(false);
        de->OpenClose(closed);
    };
    try {
        const int status = script ? host.run_script(*script) : host.run_call(options.call);
        close();
        return status;
    } catch (...) {
        close();
        throw;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{
        "Calls members of the overlay unit's controller by name.\n"
        "  quarn7 [OPTIONS] NAME [ARG ...]   a method or property get\n"
        "  quarn7 [OPTIONS] NAME=VALUE       a property let\n"
        "  quarn7 [OPTIONS] --script FILE    one call per line (- reads standard input)\n"
        "ARG and VALUE may start with int:, long:, dbl:, str:, bool: or empty:.",
        "quarn7"};
    app.prefix_command();

    auto* device_option = app.add_option("--device", options.device,
                                         "Serial device or tcp://HOST:PORT, rfc2217://HOST:PORT");
    auto* port_option = app.add_option("--port", options.port_number,
                                       "Port number (device from the number mapping)")
                            ->check(CLI::Range(1, 32767));
    auto* simulate_option = app.add_flag("--simulate", options.simulate,
                                         "Use the built-in simulated unit on a pseudo-terminal");
    simulate_option->excludes(device_option);
    port_option->excludes(device_option)->excludes(simulate_option);
    apps::add_sim_options(app, options.sim);
    app.add_flag("--diagnostics", options.diagnostics, "Turn the controller's messages on first");
    app.add_flag("--no-open", options.no_open, "Leave the port closed at start-up");
    app.add_flag("--trace", options.trace, "Every byte written and read, in hex, on stderr");
    app.add_flag("--json", options.json, "One JSON object per call on stdout");
    app.add_flag("--strict", options.strict,
                 "A call ending in no_reaction, refused, damaged or port_closed fails (exit 3)");
    app.add_flag("--keep-going", options.keep_going,
                 "Report a failed script line and go on (the exit status still says it failed)");
    app.add_flag("--fast-reads", options.fast_reads, "End a read's wait once its reply is in");
    auto* members_option =
        app.add_flag("--list-members", options.list_members, "List the members in interface order");
    auto* ports_option =
        app.add_flag("--list-ports", options.list_ports, "List the serial devices");
    auto* script_option =
        app.add_option("--script", options.script, "Run one call per line of FILE");
    auto* tour_option = app.add_flag("--tour", options.tour, "Run the built-in tour of the unit");
    script_option->excludes(tour_option);
    members_option->excludes(ports_option);

    // Words after a "--" belong to the call whatever they look like.
    const auto separator = std::find(argv + 1, argv + argc, std::string_view("--"));
    try {
        app.parse(static_cast<int>(separator - argv), argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kUsageExit;
    }
    options.call = app.remaining();
    if (!options.call.empty() && options.call.front().starts_with("-")) {
        std::cerr << "quarn7: unknown option " << options.call.front()
                  << "\nRun with --help for more information.\n";
        return kUsageExit;
    }
    if (separator != argv + argc)
        options.call.insert(options.call.end(), separator + 1, argv + argc);
    const char* misuse = nullptr;
    if (device_option->count() > 0 && options.device.empty()) {
        misuse = "--device needs a device path";
    } else if (!options.simulate && apps::sim_options_given(app)) {
        misuse = "options of the simulated unit need --simulate";
    }
    if (misuse != nullptr) {
        std::cerr << "quarn7: " << misuse << "\nRun with --help for more information.\n";
        return kUsageExit;
    }

    try {
        if (options.list_members) {
            list_members(options.json);
            return 0;
        }
        if (options.list_ports) {
            list_ports(options.json);
            return 0;
        }
        const int modes = !options.call.empty() + options.tour + !options.script.empty();
        if (modes != 1) throw cli::UsageError("give one CALL, --script FILE or --tour");
        // Mistakes in the call or the script's name show before any port work.
        std::ifstream file;
        std::istringstream tour(cli::tour_script());
        std::istream* script = nullptr;
        if (options.tour) {
            script = &tour;
        } else if (options.script == "-") {
            script = &std::cin;
        } else if (!options.script.empty()) {
            file.open(options.script);
            if (!file || std::filesystem::is_directory(options.script)) {
                throw cli::UsageError("cannot read script " + options.script);
            }
            script = &file;
        } else {
            cli::resolve_call(options.call);
        }
        return run(options, script);
    } catch (const cli::UsageError& e) {
        std::cerr << "quarn7: " << e.what() << '\n';
        if (options.json) std::cout << dump(cli::usage_json(e.what(), 0)) << '\n';
        return kUsageExit;
    } catch (const Error& e) {
        std::cerr << "quarn7: error " << e.code() << ": " << e.description() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "quarn7: " << e.what() << '\n';
        return 1;
    }
}
