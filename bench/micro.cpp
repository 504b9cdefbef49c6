// The CPU work of the link without any waiting: frames, echoes, reply decoding, and whole
// transactions through a port whose answer is in as soon as the frame has gone out. Each benchmark
// also counts heap allocations per iteration.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "allocations.h"
#include "exchanges.h"
#include "quarn7/clsvyx7.h"
#include "quarn7/open.h"
#include "quarn7/simulated_unit.h"
#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "support/scripted_port.h"

namespace quarn7::bench {
namespace {

// Reports the heap allocations made while the benchmark's loop runs, per iteration.
class AllocationCounter {
  public:
    explicit AllocationCounter(benchmark::State& state) : state_(state) {}
    ~AllocationCounter() {
        const Allocations end = allocations_so_far();
        const auto per_iteration = benchmark::Counter::kAvgIterations;
        state_.counters["allocs"] =
            benchmark::Counter(static_cast<double>(end.count - start_.count), per_iteration);
        state_.counters["bytes"] =
            benchmark::Counter(static_cast<double>(end.bytes - start_.bytes), per_iteration);
    }
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

  private:
    benchmark::State& state_;
    const Allocations start_ = allocations_so_far();
};

constexpr wire::CommandWords kMeterteller{38, wire::DoCommand, 1, 0};
constexpr wire::CommandWords kRead43{43, wire::Read, 0, 0};

wire::CommandWords write_words(std::size_t data_bytes) {
    return {35, wire::Write, static_cast<std::int16_t>(data_bytes & 0xFF),
            static_cast<std::int16_t>(data_bytes >> 8)};
}

void BM_DoCommandFrame(benchmark::State& state) {
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::do_command_frame(kMeterteller));
}
BENCHMARK(BM_DoCommandFrame);

void BM_WriteFrame(benchmark::State& state) {
    const std::string data(static_cast<std::size_t>(state.range(0)), 'A');
    const auto words = write_words(data.size());
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::frame(words, data));
}
BENCHMARK(BM_WriteFrame)->Arg(4)->Arg(80);

void BM_ReadRequest(benchmark::State& state) {
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::read_request(kRead43));
}
BENCHMARK(BM_ReadRequest);

void BM_DoCommandEcho(benchmark::State& state) {
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::do_command_echo(kMeterteller));
}
BENCHMARK(BM_DoCommandEcho);

void BM_WriteEcho(benchmark::State& state) {
    const std::string data(static_cast<std::size_t>(state.range(0)), 'A');
    const auto words = write_words(data.size());
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::write_echo(words, data));
}
BENCHMARK(BM_WriteEcho)->Arg(4)->Arg(80);

void BM_ReadEcho(benchmark::State& state) {
    const AllocationCounter count(state);
    for (auto _ : state) benchmark::DoNotOptimize(wire::read_echo(kRead43, ""));
}
BENCHMARK(BM_ReadEcho);

// Data bytes 1, 2, 3, ...: valid for every rule (item 32 stays within 16 bits).
std::string reply_for(const ReadItem& item) {
    std::string data;
    for (int i = 1; i <= item.data_bytes; ++i) data += static_cast<char>(i);
    return wire::read_reply(data);
}

// Splitting a whole reply and decoding it, for item 43 (the latency benchmark's read).
void BM_DecodeReply43(benchmark::State& state) {
    const std::string reply = reply_for(*find_read_item(43));
    const AllocationCounter count(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            decode_reply(43, wire::reply_data(reply), wire::reply_length(reply)));
    }
}
BENCHMARK(BM_DecodeReply43);

// Every item of the table once per iteration; the rate is per reply.
void BM_DecodeEveryItem(benchmark::State& state) {
    std::vector<std::pair<int, std::string>> replies;
    for (const ReadItem& item : kReadItems) replies.emplace_back(item.item, reply_for(item));
    const AllocationCounter count(state);
    for (auto _ : state) {
        for (const auto& [item, reply] : replies) {
            benchmark::DoNotOptimize(
                decode_reply(item, wire::reply_data(reply), wire::reply_length(reply)));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(replies.size()));
}
BENCHMARK(BM_DecodeEveryItem);

// A port whose answer is in as soon as a frame has gone out: a transaction never waits on it.
class InstantPort : public SerialPort {
  public:
    explicit InstantPort(std::string answer) : answer_(std::move(answer)) {}

  protected:
    bool is_open() const override { return open_; }
    void open_port() override { open_ = true; }
    void close_port() override { open_ = false; }
    void write_bytes(std::string_view) override { waiting_ = answer_; }
    int bytes_waiting() override { return static_cast<int>(waiting_.size()); }
    std::string read_waiting() override { return std::exchange(waiting_, {}); }
    bool wait_readable(Clock::duration) override { return !waiting_.empty(); }

  private:
    std::string answer_;
    std::string waiting_;
    bool open_ = false;
};

// The whole member call, command words to decoded result, over an instant port. The clock is a
// fake one, so the fixed wait of a read costs nothing either.
void BM_Transaction(benchmark::State& state, const Exchange& exchange) {
    testing::FakeClock clock;
    auto port = std::make_shared<InstantPort>(exchange.read ? reply_for(*find_read_item(43))
                                                            : std::string(1, wire::ACK));
    auto de = std::make_shared<clsvyx7>();
    de->set_clock(clock);
    de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
    Variant yes(true);
    de->OpenClose(yes);
    const AllocationCounter count(state);
    for (auto _ : state) exchange.run(*de);
    if (de->last_outcome() != expected_outcome(exchange)) state.SkipWithError("wrong outcome");
}

// The same calls on the unpaced in-process simulated unit, reads ending once their reply is in:
// what bench/python_call.py sets the same calls from Python against.
void BM_InProcessUnit(benchmark::State& state, const Exchange& exchange) {
    auto unit = sim::SimulatedUnit::Builder().paced(false).build_in_process();
    auto de = open(unit->port());
    de->set_fast_reads(true);
    for (auto _ : state) exchange.run(*de);
    if (de->last_outcome() != expected_outcome(exchange)) state.SkipWithError("wrong outcome");
}

}  // namespace
}  // namespace quarn7::bench

int main(int argc, char** argv) {
    using namespace quarn7::bench;
    for (const Exchange& exchange : kExchanges) {
        benchmark::RegisterBenchmark(("BM_Transaction/" + std::string(exchange.name)).c_str(),
                                     BM_Transaction, exchange);
        benchmark::RegisterBenchmark(("BM_InProcessUnit/" + std::string(exchange.name)).c_str(),
                                     BM_InProcessUnit, exchange);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
