// Latency of one member call per transaction kind against the simulated unit on a paced
// pseudo-terminal, next to the line's own time for the same bytes and to a plain pyserial program
// doing the same exchanges; then the CPU a call costs while a silent unit keeps it waiting.
//
// Prints Markdown tables. Exits non-zero when a call did not end as it should (the figures would
// mean nothing); targets missed are reported, not failed on.
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchanges.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/error.h"
#include "quarn7/open.h"
#include "quarn7/termios_port.h"
#include "sim/hex.h"
#include "quarn7/simulated_unit.h"

namespace quarn7::bench {
namespace {

using namespace std::chrono_literals;
using WallClock = std::chrono::steady_clock;

// The controller's reply window, which the pyserial program waits as long as.
constexpr auto kReplyWindow = 100ms;

struct Options {
    int calls = 200;
    int rounds = 4;  // ours and pyserial take turns, so that both see the machine alike
    int silent_calls = 3;
    std::chrono::microseconds turnaround{1000};
    std::string python = QUARN7_PYTHON;
    std::string pyserial_program = QUARN7_PYSERIAL_EXCHANGE;
    std::string samples_csv;
    bool ser2net = false;
};

double ms(WallClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

WallClock::duration thread_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Nearest-rank percentile, p in (0, 1].
double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(samples.size())));
    return samples[std::max<std::size_t>(rank, 1) - 1];
}

std::string fixed(double value, int decimals = 2) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

const char* yes_no(bool met) {
    return met ? "yes" : "**no**";
}

void run_checked(clsvyx7& de, const Exchange& exchange, Outcome expected) {
    de.clear_last_outcome();
    exchange.run(de);
    if (de.last_outcome() != expected) {
        const auto got = de.last_outcome();
        throw std::runtime_error(std::string(exchange.call) + " ended " +
                                 (got ? std::string(outcome_name(*got)) : "without a transaction") +
                                 ", not " + std::string(outcome_name(expected)));
    }
}

struct Row {
    const Exchange* exchange;
    bool fast_reads;
    std::size_t bytes_out = 0;
    std::size_t bytes_back = 0;
    double limit_ms = 0;
    std::string frame{};           // as sent, for the pyserial program
    std::vector<double> ours{};    // ms per call
    std::vector<double> own{};     // µs per call spent outside the line (see time_calls)
    std::vector<double> theirs{};  // ms per exchange of the pyserial program
    double cpu_ms = 0;             // of all calls in `ours`

    std::string label() const {
        return std::string(exchange->name) + (fast_reads ? ", fast reads" : "");
    }
    double median() const { return percentile(ours, 0.5); }
    double p99() const { return percentile(ours, 0.99); }
    double ratio_to_pyserial() const { return median() / percentile(theirs, 0.5); }
    // The targets: an acknowledged exchange adds under 0.5 ms at the median and 2 ms at the 99th
    // percentile; a read waits its fixed window unless fast reads end it with the reply.
    std::string target() const {
        if (!exchange->read) return "median ≤ limit + 0.5, p99 ≤ limit + 2";
        return fast_reads ? "median ≤ limit + 1" : "median ≤ limit + 100 + 1";
    }
    bool target_met() const {
        if (!exchange->read) return median() <= limit_ms + 0.5 && p99() <= limit_ms + 2;
        return median() <= limit_ms + (fast_reads ? 1 : 101);
    }
};

// A call to a unit that never answers: it waits out every window and repeat.
struct SilentCost {
    const Exchange* exchange;
    bool fast_reads;
    std::vector<double> wall_ms{};
    std::vector<double> cpu_ms{};

    std::string label() const {
        return std::string(exchange->name) + (fast_reads ? ", fast reads" : "");
    }
    // The acknowledged send has a set bound; the reads are shown beside it.
    bool bounded() const { return !exchange->read; }
    double worst_cpu_ms() const { return *std::max_element(cpu_ms.begin(), cpu_ms.end()); }
};

class Bench {
  public:
    explicit Bench(const Options& options)
        : options_(options),
          unit_(sim::SimulatedUnit::Builder()
                    .turnaround(options.turnaround)
                    .log_frames(false)  // a long run must not grow
                    .build()) {
        port_->bind(unit_->device_path());
        de_->ComObject(Variant(std::static_pointer_cast<Object>(port_)));
        de_->set_message_box([](const std::string& text) {
            throw std::runtime_error("unexpected message: " + text);
        });
    }

    const std::string& device() const { return unit_->device_path(); }

    void open(bool on) {
        Variant value(on);
        de_->OpenClose(value);
        if (port_->PortOpen() != on) throw std::runtime_error(de_->last_open_error());
    }

    // One call traced: what crosses the line sets the limit.
    void find_limit(Row& row) {
        de_->set_fast_reads(row.fast_reads);
        std::size_t frames = 0;
        de_->set_trace([&](const TraceEvent& event) {
            if (event.direction == TraceEvent::Direction::Out) {
                ++frames;
                row.bytes_out += event.bytes.size();
            } else {
                row.bytes_back += event.bytes.size();
            }
        });
        run_checked(*de_, *row.exchange, expected_outcome(*row.exchange));
        de_->set_trace({});
        row.frame = de_->state().commando_frame;
        row.limit_ms = ms(sim::line_time(row.bytes_out + row.bytes_back) +
                          static_cast<long>(frames) * options_.turnaround);
    }

    // A call to warm up, as the pyserial program has, then `calls` timed. The byte trace splits
    // each call: from its start to its first byte written and from its last byte read to its
    // return is time of our own; in between the line, the unit and the wake-ups have it.
    void time_calls(Row& row, int calls) {
        de_->set_fast_reads(row.fast_reads);
        const Outcome expected = expected_outcome(*row.exchange);
        run_checked(*de_, *row.exchange, expected);
        WallClock::time_point first_out;
        WallClock::time_point last_in;
        de_->set_trace([&](const TraceEvent& event) {
            if (event.direction == TraceEvent::Direction::In) {
                last_in = event.time;
            } else if (first_out == WallClock::time_point{}) {
                first_out = event.time;
            }
        });
        const auto cpu_before = thread_cpu_time();
        for (int i = 0; i < calls; ++i) {
            first_out = {};
            const auto start = WallClock::now();
            run_checked(*de_, *row.exchange, expected);
            const auto end = WallClock::now();
            row.ours.push_back(ms(end - start));
            row.own.push_back(1000 * ms((first_out - start) + (end - last_in)));
        }
        row.cpu_ms += ms(thread_cpu_time() - cpu_before);
        de_->set_trace({});
    }

    void measure_silent(SilentCost& cost) {
        unit_->set_faults({.silent = true});
        de_->set_fast_reads(cost.fast_reads);
        for (int i = 0; i < options_.silent_calls; ++i) {
            const auto cpu_before = thread_cpu_time();
            const auto start = WallClock::now();
            run_checked(*de_, *cost.exchange, Outcome::NoReaction);
            cost.wall_ms.push_back(ms(WallClock::now() - start));
            cost.cpu_ms.push_back(ms(thread_cpu_time() - cpu_before));
        }
        unit_->set_faults({});
    }

  private:
    const Options& options_;
    std::unique_ptr<sim::SimulatedUnit> unit_;
    std::shared_ptr<TermiosPort> port_ = std::make_shared<TermiosPort>();
    std::shared_ptr<clsvyx7> de_ = std::make_shared<clsvyx7>();
};

// `calls` of each exchange by the pyserial program on the same line (the controller's port
// closed), added to the rows' `theirs`.
void run_pyserial(const Options& options, const std::string& device, std::vector<Row>& rows,
                  int calls) {
    std::string command = "'" + options.python + "' '" + options.pyserial_program + "' --device '" +
                          device + "' --calls " + std::to_string(calls) + " --timeout " +
                          fixed(std::chrono::duration<double>(kReplyWindow).count(), 3);
    for (const Row& row : rows) {
        if (row.fast_reads) continue;  // the same exchange on the wire
        command += " --exchange " + std::string(row.exchange->name) +
                   (row.exchange->read ? " reply '" : " ack '") + sim::hex_dump(row.frame) + "'";
    }
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot start " + command);
    std::string output;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    if (pclose(pipe) != 0) throw std::runtime_error("the pyserial program failed: " + command);

    std::map<std::string, std::vector<double>> samples;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        for (double seconds = 0; fields >> seconds;) samples[name].push_back(seconds * 1000);
    }
    for (Row& row : rows) {
        const auto& times = samples[std::string(row.exchange->name)];
        if (times.size() != std::size_t(calls)) {
            throw std::runtime_error("the pyserial program gave no times for " +
                                     std::string(row.exchange->name));
        }
        row.theirs.insert(row.theirs.end(), times.begin(), times.end());
    }
}

void print_latency(const Options& options, const std::vector<Row>& rows, double load) {
    std::printf(
        "### Latency of one call (%d calls each in %d rounds, turnaround %s ms, load average %s "
        "at the start)\n\n",
        options.calls, options.rounds, fixed(ms(options.turnaround), 1).c_str(),
        fixed(load).c_str());
    std::printf(
        "| exchange | call | bytes out + back | line limit ms | median ms | p99 ms | "
        "median / limit | target (ms) | met | own µs, median / p99 | CPU ms per call |\n"
        "|---|---|---|--:|--:|--:|--:|---|---|--:|--:|\n");
    for (const Row& row : rows) {
        std::printf("| %s | %s | %zu + %zu | %s | %s | %s | %s | %s | %s | %s / %s | %s |\n",
                    row.label().c_str(), std::string(row.exchange->call).c_str(), row.bytes_out,
                    row.bytes_back, fixed(row.limit_ms).c_str(), fixed(row.median()).c_str(),
                    fixed(row.p99()).c_str(), fixed(row.median() / row.limit_ms, 3).c_str(),
                    row.target().c_str(), yes_no(row.target_met()),
                    fixed(percentile(row.own, 0.5), 1).c_str(),
                    fixed(percentile(row.own, 0.99), 1).c_str(),
                    fixed(row.cpu_ms / static_cast<double>(row.ours.size()), 3).c_str());
    }
}

void print_pyserial(const std::vector<Row>& rows) {
    std::printf(
        "\n### Against a plain pyserial program (same unit, same exchanges)\n\n"
        "| exchange | pyserial median ms | pyserial p99 ms | ours median ms | ours / pyserial | "
        "target | met |\n"
        "|---|--:|--:|--:|--:|---|---|\n");
    for (const Row& row : rows) {
        std::printf("| %s | %s | %s | %s | %s | ≤ 1.0 | %s |\n", row.label().c_str(),
                    fixed(percentile(row.theirs, 0.5)).c_str(),
                    fixed(percentile(row.theirs, 0.99)).c_str(), fixed(row.median()).c_str(),
                    fixed(row.ratio_to_pyserial(), 3).c_str(),
                    yes_no(row.ratio_to_pyserial() <= 1.0));
    }
}

void print_silent(const std::vector<SilentCost>& costs, int calls) {
    std::printf(
        "\n### CPU while waiting for a silent unit (calling thread, getrusage; %d calls each)\n\n"
        "| call | wall ms, median | CPU ms, median | CPU ms, max | target | met |\n"
        "|---|--:|--:|--:|---|---|\n",
        calls);
    for (const SilentCost& cost : costs) {
        std::printf("| %s | %s | %s | %s | %s | %s |\n", cost.label().c_str(),
                    fixed(percentile(cost.wall_ms, 0.5), 1).c_str(),
                    fixed(percentile(cost.cpu_ms, 0.5), 3).c_str(),
                    fixed(cost.worst_cpu_ms(), 3).c_str(), cost.bounded() ? "CPU < 20" : "-",
                    cost.bounded() ? yes_no(cost.worst_cpu_ms() < 20) : "-");
    }
}

// The same exchanges over ser2net on loopback in front of the unit's pty, raw TCP and RFC 2217:
// the medians beside the local line's, which show what the network path adds to a call. ser2net
// forwards each byte as it comes (chardelay off): by default it waits for a pause in the line.
class Ser2netRun {
  public:
    Ser2netRun(const std::string& device, const std::string& scheme) {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof a;
        ::bind(probe, reinterpret_cast<sockaddr*>(&a), size);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size);
        ::close(probe);  // a free port, for ser2net to take
        const std::string port = std::to_string(ntohs(a.sin_port));
        const std::string accepter = scheme == "tcp" ? "tcp" : "telnet(rfc2217),tcp";
        const std::string command =
            "printf '%s ' $$ && exec ser2net -n -u -Y 'connection: &unit#  accepter: " + accepter +
            ",127.0.0.1," + port + "#  connector: serialdev," + device +
            ",19200o81,local#  options:#    chardelay: false' 2>/dev/null";
        server_ = popen(command.c_str(), "r");
        if (!server_ || std::fscanf(server_, "%d", &pid_) != 1) {
            throw std::runtime_error("cannot start ser2net");
        }
        // Until ser2net listens.
        for (int i = 0; i < 100 && !de_; ++i) {
            try {
                de_ = quarn7::open(scheme + "://127.0.0.1:" + port);
            } catch (const Error&) {
                usleep(50'000);
            }
        }
        if (!de_) throw std::runtime_error("ser2net did not take connections");
    }
    ~Ser2netRun() {
        de_.reset();
        ::kill(pid_, SIGTERM);
        pclose(server_);
    }
    std::vector<double> time_calls(const Row& row, int calls) {
        de_->set_fast_reads(row.fast_reads);
        run_checked(*de_, *row.exchange, expected_outcome(*row.exchange));  // warm-up
        std::vector<double> times;
        for (int i = 0; i < calls; ++i) {
            const auto start = WallClock::now();
            run_checked(*de_, *row.exchange, expected_outcome(*row.exchange));
            times.push_back(ms(WallClock::now() - start));
        }
        return times;
    }

  private:
    FILE* server_ = nullptr;
    int pid_ = 0;
    std::shared_ptr<clsvyx7> de_;
};

void measure_ser2net(const Options& options, const std::string& device,
                     const std::vector<Row>& rows) {
    std::vector<std::vector<double>> medians(rows.size());
    for (const std::string scheme : {"tcp", "rfc2217"}) {
        Ser2netRun run(device, scheme);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            medians[i].push_back(percentile(run.time_calls(rows[i], options.calls), 0.5));
        }
    }
    std::printf(
        "\n### Over ser2net on loopback (%d calls each; in brackets: added to the local line)\n\n"
        "| exchange | local median ms | raw TCP median ms | RFC 2217 median ms |\n"
        "|---|--:|--:|--:|\n",
        options.calls);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double local = rows[i].median();
        const auto added = [&](double median) {
            return (median >= local ? "+" : "") + fixed(median - local);
        };
        std::printf("| %s | %s | %s (%s) | %s (%s) |\n", rows[i].label().c_str(),
                    fixed(local).c_str(), fixed(medians[i][0]).c_str(),
                    added(medians[i][0]).c_str(), fixed(medians[i][1]).c_str(),
                    added(medians[i][1]).c_str());
    }
}

void write_samples(const std::string& path, const std::vector<Row>& rows) {
    std::ofstream out(path);
    out << "exchange,program,limit_ms,latency_ms\n";
    for (const Row& row : rows) {
        for (const auto& [program, times] :
             {std::pair{"quarn7", &row.ours}, {"pyserial", &row.theirs}}) {
            for (const double t : *times) {
                out << '"' << row.label() << "\"," << program << ',' << row.limit_ms << ',' << t
                    << '\n';
            }
        }
    }
    if (!out) throw std::runtime_error("cannot write " + path);
}

int run(const Options& options) {
    // The machine is shared: how busy it was belongs with the figures.
    double load = 0;
    getloadavg(&load, 1);
    Bench bench(options);
    std::vector<Row> rows;
    std::vector<SilentCost> silent;
    for (const Exchange& exchange : kExchanges) {
        for (const bool fast_reads : {false, true}) {
            if (fast_reads && !exchange.read) continue;
            rows.push_back({.exchange = &exchange, .fast_reads = fast_reads});
            silent.push_back({.exchange = &exchange, .fast_reads = fast_reads});
        }
    }

    bench.open(true);
    for (Row& row : rows) bench.find_limit(row);
    bench.open(false);
    for (int round = 0; round < options.rounds; ++round) {
        const int calls =
            options.calls * (round + 1) / options.rounds - options.calls * round / options.rounds;
        bench.open(true);
        for (Row& row : rows) bench.time_calls(row, calls);
        bench.open(false);  // the port is taken exclusively
        run_pyserial(options, bench.device(), rows, calls);
    }

    bench.open(true);
    for (SilentCost& cost : silent) bench.measure_silent(cost);
    bench.open(false);

    print_latency(options, rows, load);
    print_pyserial(rows);
    print_silent(silent, options.silent_calls);
    if (options.ser2net) measure_ser2net(options, bench.device(), rows);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\nPeak resident memory of the benchmark process: %ld KiB\n", usage.ru_maxrss);
    if (!options.samples_csv.empty()) write_samples(options.samples_csv, rows);
    return 0;
}

}  // namespace
}  // namespace quarn7::bench

int main(int argc, char** argv) {
    quarn7::bench::Options options;
    CLI::App app{
        "Latency of each transaction kind against the simulated unit on a pseudo-terminal paced at "
        "19200 baud, 11 bits a byte, next to the line's own limit and to a pyserial program; CPU "
        "while waiting for a silent unit."};
    app.add_option("--calls", options.calls, "Calls per exchange")->check(CLI::PositiveNumber);
    app.add_option("--rounds", options.rounds,
                   "Turns of ours and pyserial the calls are split into")
        ->check(CLI::PositiveNumber);
    app.add_option("--silent-calls", options.silent_calls, "Calls per kind to a silent unit")
        ->check(CLI::PositiveNumber);
    app.add_option_function<std::int64_t>(
           "--turnaround",
           [&options](std::int64_t us) { options.turnaround = std::chrono::microseconds(us); },
           "The unit's turnaround in microseconds (default 1000)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--python", options.python, "Python with pyserial")->check(CLI::ExistingFile);
    app.add_option("--pyserial", options.pyserial_program, "The pyserial program")
        ->check(CLI::ExistingFile);
    app.add_option("--samples", options.samples_csv, "Write every time measured to this CSV file");
    app.add_flag("--ser2net", options.ser2net,
                 "Also time the exchanges over ser2net on loopback, raw TCP and RFC 2217");
    CLI11_PARSE(app, argc, argv);
    try {
        return quarn7::bench::run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quarn7_latency: %s\n", e.what());
        return 1;
    }
}
