// The controller over a real pseudo-terminal against a simulated unit that misbehaves on purpose:
// every call ends in bounded time as it should, and the next call works. On a busy machine an
// answer may miss its 0.1 s window and go again: exact repeats are pinned on the scripted port.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <thread>

#include "quarn7/clsvyx7.h"
#include "quarn7/termios_port.h"
#include "quarn7/simulated_unit.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
using WallClock = std::chrono::steady_clock;
constexpr auto kBounded = 10s;  // far beyond the 0.6 s and 0.9 s a call takes, far below a hang

std::chrono::nanoseconds thread_cpu_time() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->set_trace([this](const auto& e) { sent += e.direction == TraceEvent::Direction::Out; });
        de->meldingen();
        connect();
    }
    void connect(sim::SimulatedUnit::Builder builder = {}) {
        unit = builder.build();
        port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        de->OpenClose(yes);
        ASSERT_TRUE(port->PortOpen()) << de->last_open_error();
        sent = 0;
    }
    // Waits until the unit has answered every frame the host sent, so that no answer still on its
    // way reaches the next call; gives the frames received, repeats in a row taken as one.
    std::vector<std::string> settle() {
        EXPECT_TRUE(unit->wait_for_frames(sent, kBounded));
        std::this_thread::sleep_for(30ms);
        const auto frames = unit->frames();
        EXPECT_EQ(frames.size(), std::size_t(sent)) << "a frame was lost or split";
        std::vector<std::string> distinct;
        for (const auto& f : frames) distinct.push_back(hex(f.bytes));
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        unit->clear_frames();
        sent = 0;
        return distinct;
    }
    // A write and a read back of a value no earlier call used: a stale answer shows as wrong.
    void expect_next_call_works() {
        static int value = 1000;
        value += 11;
        unit->set_faults({});
        settle();
        Variant distance(value / 10.0);
        EXPECT_EQ(raised([&] { de->afstand(distance); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
        EXPECT_EQ(settle().size(), 1u);
        EXPECT_DOUBLE_EQ(de->afstand().to_double(), value / 10.0);
        EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
    }
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::shared_ptr<TermiosPort> port;
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
    std::atomic<int> sent = 0;
    Variant yes{true}, no{false};
};

TEST_F(Faults, EachFaultEndsAsItShouldAndTheNextCallWorks) {
    using enum Outcome;
    const Variant none{std::string()}, counter("12345");
    const struct {
        const char* what;
        sim::Faults faults;
        int item;                     // 0: meterteller_aan; otherwise lees_data of this item
        std::optional<Variant> read;  // nullopt: the read raises InvalidArgument
        Outcome outcome;
        int frames;  // at least; exactly when the unit never answers in time (no reaction)
        const char* message = nullptr;
    } cases[] = {
        {"silent", {.silent = true}, 0, {}, NoReaction, 6, "No reaction from DE"},
        {"silent read", {.silent = true}, 43, none, NoReaction, 3, "No reaction from DE"},
        {"refusing", {.refuse = true}, 0, {}, Refused, 1, "Command not accepted"},
        {"late", {.delay = 150ms}, 0, {}, Acknowledged, 2},
        {"late read", {.delay = 350ms}, 44, counter, ReplyReceived, 2},
        // Long after the call gave up, so that no slow wake-up brings them in.
        {"after the last window", {.delay = 1200ms}, 0, {}, NoReaction, 6},
        {"read reply after the read gave up", {.delay = 1800ms}, 44, none, NoReaction, 3},
        {"cut short of a reply", {.truncate_replies_to = 3}, 43, none, NoReaction, 3},
        {"cut short of its data", {.truncate_replies_to = 6}, 43, {}, ReplyReceived, 1},
        {"noise before the answer", {.garbage_prefix = "\xAA\x55"}, 0, {}, Acknowledged, 1},
        {"noise starting with NAK", {.garbage_prefix = "\x15\xAA"}, 0, {}, Refused, 1},
        {"two frames dropped", {.drop_first_frames = 2}, 0, {}, Acknowledged, 3},
        {"a read request dropped", {.drop_first_frames = 1}, 44, counter, ReplyReceived, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connect(sim::SimulatedUnit::Builder().faults(c.faults));
        unit->set_item_data(44, bytes("39 30"));
        messages.clear();
        const auto start = WallClock::now();
        const auto cpu = thread_cpu_time();
        Variant got(static_cast<std::int16_t>(c.item));  // 0: meterteller_aan leaves it be
        const auto err = raised([&] { c.item ? (void)de->lees_data(got) : de->meterteller_aan(); });
        EXPECT_LT(WallClock::now() - start, kBounded);
        // A silent unit costs almost no CPU: the reply windows block, they do not spin.
        EXPECT_LT(thread_cpu_time() - cpu, 100ms);
        EXPECT_EQ(err ? err->number() : ErrorNumber{},
                  c.item && !c.read ? ErrorNumber::InvalidArgument : ErrorNumber{});
        EXPECT_EQ(de->last_outcome(), c.outcome);
        EXPECT_EQ(got, c.read.value_or(got));
        EXPECT_TRUE(!c.message || std::ranges::count(messages, c.message) > 0);
        EXPECT_GE(sent, c.frames);
        EXPECT_LE(sent, c.outcome == NoReaction ? c.frames : c.item ? 3 : 6);
        EXPECT_THAT(settle(), ElementsAre(c.item ? read_request(c.item) : "02 01 00 00 26 00 0D"));
        expect_next_call_works();
    }
}

// Lost mid-call: "device lost" in bounded time, the port closed, a reopen failing with the path
// until the line is back, then all works again.
TEST_F(Faults, LineClosedInTheMiddleOfATransaction) {
    for (const int item : {0, 43}) {
        unit->set_faults({.silent = true, .close_after_frames = 2});
        const std::string path = unit->device_path();
        const auto start = WallClock::now();
        Variant got(static_cast<std::int16_t>(item));
        const auto lost = raised([&] { item ? (void)de->lees_data(got) : de->meterteller_aan(); });
        ASSERT_TRUE(lost && lost->number() == ErrorNumber::DeviceLost) << item;
        EXPECT_EQ(lost->description(), "Device lost: " + path);
        EXPECT_LT(WallClock::now() - start, kBounded);
        EXPECT_FALSE(port->PortOpen());
        de->meterteller_uit();  // closed now: sends nothing, raises nothing
        EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
        unit.reset();
        messages.clear();
        de->OpenClose(yes);
        EXPECT_THAT(messages, ElementsAre("Illegal port number"));
        EXPECT_EQ(de->last_open_error(), "No such device: " + path);
        connect();
        expect_next_call_works();
    }
}

// Four threads share one controller, each writing a value only it writes and reading it back: a
// reply taken by the wrong call shows as a wrong value. The unit answers at once, in time if busy.
TEST_F(Faults, FourThreadsEachGetTheirOwnReplies) {
    de->OpenClose(no);
    connect(sim::SimulatedUnit::Builder().paced(false).turnaround(0us));
    de->set_fast_reads(true);
    using Let = void (clsvyx7::*)(Variant&);
    using Value = std::function<Variant(int)>;
    const auto n = [](int i) { return std::to_string(i); };
    // Per thread: what it writes in round r, the item it reads and what that must give.
    const std::tuple<Let, Value, int, Value> threads[] = {
        {&clsvyx7::afstand, [](int r) { return r * 10.1; }, 43, [&](int r) { return n(r * 101); }},
        {&clsvyx7::afstand2, [](int r) { return r * 20.3; }, 44, [&](int r) { return n(r * 203); }},
        {&clsvyx7::tijd, [&](int r) { return n(r) + ":9|" + n(r) + "-3-2031"; }, 41,
         [&](int r) { return " " + n(r) + ": 9  " + n(r) + "/ 3/ 31"; }},
        {&clsvyx7::schrijf_commando, [&](int r) { return n(200 + r) + "|74"; }, 35,
         [](int r) { return std::int16_t(200 + r); }},
    };
    std::vector<std::jthread> running;
    for (const auto& [write, value, item, read_back] : threads) {
        running.emplace_back([&] {
            for (int round = 1; round <= 20; ++round) {
                Variant v = value(round), tekst(static_cast<std::int16_t>(item));
                EXPECT_EQ(raised([&] { (*de.*write)(v), de->lees_data(tekst); }), std::nullopt);
                EXPECT_EQ(tekst, read_back(round));
            }
        });
    }
    running.clear();  // joins them
    EXPECT_GE(sent, 4 * 2 * 20);
    ASSERT_TRUE(unit->wait_for_frames(sent, kBounded));
    for (const auto& f : unit->frames()) EXPECT_NE(f.answer, "") << hex(f.bytes);  // all answered
    EXPECT_EQ(settle().size(), 4u * 2 * 20);  // every frame whole: nothing interleaved or lost
    EXPECT_EQ(unit->noise(), "");
}

}  // namespace
}  // namespace quarn7::testing
