#include "common/sim_options.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "sim/hex.h"

namespace quarn7::apps {

namespace {

constexpr const char* kGroup = "Simulated unit";
// Past the host's 0.1 s reply window, so the answer lands in the next one.
constexpr std::chrono::milliseconds kLate{150};
constexpr std::int64_t kMostFrames = std::numeric_limits<int>::max();

// A whole number from 0 to `most`; anything else is refused in one line that gives the range.
template <class Take>
CLI::Option* add_whole(CLI::App& app, const std::string& name, std::int64_t most, Take take,
                       const std::string& help) {
    return app
        .add_option_function<std::string>(
            name,
            [=](const std::string& text) {
                std::int64_t n = -1;
                const auto [end, error] =
                    std::from_chars(text.data(), text.data() + text.size(), n);
                if (error != std::errc() || end != text.data() + text.size() || n < 0 || n > most) {
                    throw CLI::ValidationError(name, "wants a whole number from 0 to " +
                                                         std::to_string(most) + ", not " + text);
                }
                take(n);
            },
            help)
        ->group(kGroup);
}

}  // namespace

void add_sim_options(CLI::App& app, SimOptions& options) {
    app.add_flag("--unpaced", options.unpaced,
                 "Answer at once instead of at the line speed (19200 baud, 11 bits a byte)")
        ->group(kGroup);
    add_whole(
        app, "--turnaround", 1'000'000,
        [&options](std::int64_t us) { options.turnaround = std::chrono::microseconds(us); },
        "Microseconds between a frame's last byte and a paced answer (default 1000)")
        ->type_name("US");
    app.add_flag("--silent", options.faults.silent, "Answer nothing")->group(kGroup);
    app.add_flag("--refuse", options.faults.refuse, "Answer every frame with NAK")->group(kGroup);
    add_whole(
        app, "--delay", 60'000,
        [&options](std::int64_t ms) { options.faults.delay = std::chrono::milliseconds(ms); },
        "Milliseconds added before every answer")
        ->type_name("MS");
    app.add_flag_callback(
           "--late", [&options] { options.faults.delay = kLate; },
           "Answer 150 ms late, after the host's 0.1 s window")
        ->group(kGroup);
    const auto frames = [](int& field) {
        return [&field](std::int64_t n) { field = static_cast<int>(n); };
    };
    add_whole(app, "--truncate", kMostFrames, frames(options.faults.truncate_replies_to),
              "Cut read replies to N bytes")
        ->type_name("N");
    app.add_option_function<std::string>(
           "--garbage",
           [&options](const std::string& text) {
               const auto bytes = sim::parse_hex(text);
               if (!bytes) throw CLI::ValidationError("--garbage", "not hex bytes: " + text);
               options.faults.garbage_prefix = *bytes;
           },
           "Send these bytes (hex, e.g. FF00) before every answer")
        ->type_name("HEX")
        ->group(kGroup);
    add_whole(app, "--drop", kMostFrames, frames(options.faults.drop_first_frames),
              "Ignore the first N frames")
        ->type_name("N");
    add_whole(app, "--close-after", kMostFrames, frames(options.faults.close_after_frames),
              "Hang up the line after N frames")
        ->type_name("N");
}

bool sim_options_given(const CLI::App& app) {
    return !app.get_options([](const CLI::Option* option) {
                   return option->get_group() == kGroup && option->count() > 0;
               })
                .empty();
}

sim::SimulatedUnit::Builder sim_builder(const SimOptions& options) {
    sim::SimulatedUnit::Builder builder;
    builder.paced(!options.unpaced)
        .turnaround(options.turnaround)
        .faults(options.faults)
        .link(options.link);
    return builder;
}

std::unique_ptr<sim::SimulatedUnit> start_sim(const SimOptions& options) {
    return sim_builder(options).build();
}

}  // namespace quarn7::apps
