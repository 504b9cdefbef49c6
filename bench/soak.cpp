// Mixed transactions against the unpaced simulated unit, as many as asked (default 100,000):
// every frame the host sends must be the next frame the unit receives, every value read back
// must be the one written, every call must end as it should, and resident memory must grow by
// less than 1 MB between the warm-up and the end.
//
//   quarn7-soak [COUNT]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/switch_commands.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/dispatch.h"
#include "quarn7/error.h"
#include "quarn7/termios_port.h"
#include "quarn7/simulated_unit.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;

long resident_kb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

class Soak {
public:
    Soak()
        : unit_(sim::SimulatedUnit::Builder()
                    .paced(false)
                    .log_frames(false)
                    .on_frame([this](const sim::LoggedFrame& f) { received(f.bytes); })
                    .build()) {
        port_->bind(unit_->device_path());
        de_->ComObject(Variant(std::static_pointer_cast<Object>(port_)));
        de_->set_fast_reads(true);
        // With diagnostics off the only message is a failed send.
        de_->set_message_box([this](const std::string&) { ++failed_calls; });
        de_->set_trace([this](const TraceEvent& e) {
            if (e.direction != TraceEvent::Direction::Out) return;
            const std::lock_guard lock(mutex_);
            in_flight_.push_back(e.bytes);
            ++sent_;
        });
        Variant yes(true);
        de_->OpenClose(yes);
    }

    // One round of the mix; `i` varies the values.
    void round(long i) {
        const auto& command =
            kSwitchCommands[static_cast<std::size_t>(i) % std::size(kSwitchCommands)];
        // The factory default would undo the writes the reads below check.
        if (command.member != "VYX_fabrieksdefault") {
            const Member* member = find_member(command.member, MemberKind::Method);
            call(Outcome::Acknowledged, [&] { member->invoke(*de_, {}); });
        }
        Variant distance(static_cast<double>(i % 32768) / 10);
        call(Outcome::Acknowledged, [&] { de_->afstand(distance); });
        check_read(de_->afstand(), Variant(distance.to_double() / 10));
        Variant distance2(static_cast<double>(i % 65536) / 10);
        call(Outcome::Acknowledged, [&] { de_->afstand2(distance2); });
        check_read(de_->afstand2(), Variant(static_cast<double>(i % 65536) / 10));
        Variant language(std::to_string(i % 256) + "|74");
        call(Outcome::Acknowledged, [&] { de_->schrijf_commando(language); });
        Variant item(std::int16_t{35});
        de_->lees_data(item);
        check_read(item, Variant(static_cast<std::int16_t>(i % 256)));
        Variant text("soak " + std::to_string(i));
        call(Outcome::Acknowledged, [&] { de_->schrijf_tekst_veld(text); });
    }

    // Waits until the unit has received every frame sent (or a generous while has passed).
    void drain() {
        for (const auto deadline = std::chrono::steady_clock::now() + 5s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
            const std::lock_guard lock(mutex_);
            if (received_ >= sent_) return;
        }
    }
    struct Line {
        long sent, received, mismatched;
    };
    Line line() {
        const std::lock_guard lock(mutex_);
        return {sent_, received_, mismatches_};
    }

    long transactions = 0;
    long wrong_values = 0;
    long failed_calls = 0;

private:
    void received(const std::string& frame) {
        const std::lock_guard lock(mutex_);
        if (in_flight_.empty() || in_flight_.front() != frame) {
            ++mismatches_;
        } else {
            in_flight_.pop_front();
        }
        ++received_;
    }
    void call(Outcome expected, const std::function<void()>& f) {
        try {
            f();
            failed_calls += de_->last_outcome() != expected;
        } catch (const Error& e) {
            std::fprintf(stderr, "soak: %s\n", e.what());
            ++failed_calls;
        }
        ++transactions;
    }
    void check_read(const Variant& got, const Variant& want) {
        failed_calls += de_->last_outcome() != Outcome::ReplyReceived;
        if (got != want) {
            std::fprintf(stderr, "soak: read %s, wrote %s\n", got.to_text().c_str(),
                         want.to_text().c_str());
            ++wrong_values;
        }
        ++transactions;
    }

    std::mutex mutex_;
    std::deque<std::string> in_flight_;
    long sent_ = 0, received_ = 0, mismatches_ = 0;
    std::unique_ptr<sim::SimulatedUnit> unit_;
    std::shared_ptr<TermiosPort> port_ = std::make_shared<TermiosPort>();
    std::shared_ptr<clsvyx7> de_ = std::make_shared<clsvyx7>();
};

}  // namespace
}  // namespace quarn7

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: quarn7-soak [COUNT]\n");
        return 2;
    }
    const long warm_up = std::min(std::max(count / 10, 1000L), count / 2);
    quarn7::Soak soak;
    const auto start = std::chrono::steady_clock::now();
    long warm_kb = -1;
    for (long i = 0; soak.transactions < count; ++i) {
        if (warm_kb < 0 && soak.transactions >= warm_up) warm_kb = quarn7::resident_kb();
        soak.round(i);
    }
    soak.drain();
    const long end_kb = quarn7::resident_kb();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto line = soak.line();
    const long growth = end_kb - warm_kb;
    std::printf(
        "soak: %ld transactions in %.1f s, %ld frames sent, %ld received, %ld mismatched, "
        "%ld wrong values, %ld failed calls; VmRSS %ld kB after warm-up, %ld kB at the end "
        "(%+ld kB)\n",
        soak.transactions, seconds, line.sent, line.received, line.mismatched, soak.wrong_values,
        soak.failed_calls, warm_kb, end_kb, growth);
    const bool ok = line.mismatched == 0 && line.sent == line.received && soak.wrong_values == 0 &&
                    soak.failed_calls == 0 && growth < 1024;
    std::printf("soak: %d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
}
