// The controller over a real pseudo-terminal against a simulated unit that misbehaves on purpose.
// Every case: the call ends in bounded time with the outcome, message or error it should, nothing
// crashes, and the next call on the same controller works.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "quarn7/clsvyx7.h"
#include "quarn7/termios_port.h"
#include "quarn7/simulated_unit.h"
#include "support/errors.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using WallClock = std::chrono::steady_clock;

// What "bounded" means on a shared, noisy machine: far beyond the 0.6 s and 0.9 s the
// transactions take, far below a hang.
constexpr auto kBounded = 5s;

std::chrono::microseconds thread_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->meldingen();
        connect();
    }

    void connect() {
        unit = sim::SimulatedUnit::Builder().build();
        port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        open(*de);
        ASSERT_TRUE(port->PortOpen()) << de->last_open_error();
    }
    static void open(clsvyx7& c, bool yes = true) {
        Variant value(yes);
        c.OpenClose(value);
    }
    // Lets answers still on their way land (and be logged) before the next call.
    void settle(std::size_t frames) {
        unit->set_faults({});
        EXPECT_TRUE(unit->wait_for_frames(frames, kBounded));
        std::this_thread::sleep_for(50ms);
    }
    // A read, then a write and a read back, of values no earlier call used: nothing an earlier
    // call left on the line may pass for their answers.
    void expect_next_call_works() {
        static int value = 1000;
        value += 11;
        unit->set_faults({});
        unit->clear_frames();
        unit->set_item_data(44, {static_cast<char>(value % 256), static_cast<char>(value / 256)});
        Variant item(std::int16_t{44});
        EXPECT_EQ(raised([&] { de->lees_data(item); }), std::nullopt);
        EXPECT_EQ(item, Variant(std::to_string(value)));
        Variant distance(value / 10.0);
        EXPECT_EQ(raised([&] { de->afstand(distance); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
        Variant read_back;
        EXPECT_EQ(raised([&] { read_back = de->afstand(); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
        EXPECT_DOUBLE_EQ(read_back.to_double(), value / 10.0);
        EXPECT_TRUE(unit->wait_for_frames(3, kBounded));
        EXPECT_EQ(unit->frames().size(), 3u);
    }

    std::unique_ptr<sim::SimulatedUnit> unit;
    std::shared_ptr<TermiosPort> port;
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

struct FaultCase {
    const char* what;
    sim::Faults faults;
    int item;  // 0: the do-command meterteller_aan; otherwise lees_data of this item
    std::optional<Variant> read;  // its result; nullopt: the read raises InvalidArgument
    Outcome outcome;
    std::size_t frames;  // the unit received, answers that came too late included
    const char* message = nullptr;
    WallClock::duration at_least = {};
};

TEST_F(Faults, EachFaultEndsAsItShouldAndTheNextCallWorks) {
    const Variant none{std::string()}, counter("12345");
    constexpr auto kAcked = Outcome::Acknowledged, kRefused = Outcome::Refused,
                   kNone = Outcome::NoReaction, kReply = Outcome::ReplyReceived;
    const char* const silence = "No reaction from DE";
    const char* const refusal = "Command not accepted";
    const FaultCase cases[] = {
        {"silent", {.silent = true}, 0, {}, kNone, 6, silence, 590ms},
        {"silent read", {.silent = true}, 43, none, kNone, 3, silence, 890ms},
        {"refusing: not repeated", {.refuse = true}, 0, {}, kRefused, 1, refusal},
        // Late by one window: taken in the next; a read late by a whole attempt likewise.
        {"late", {.delay = 150ms}, 0, {}, kAcked, 2},
        {"late read", {.delay = 350ms}, 44, counter, kReply, 2},
        // The answers then wait in the host's input: the next call must not take them.
        {"after the last window", {.delay = 700ms}, 0, {}, kNone, 6},
        {"read reply after the read gave up", {.delay = 1000ms}, 44, none, kNone, 3},
        {"cut short of a reply", {.truncate_replies_to = 3}, 43, none, kNone, 3},
        {"cut short of its data", {.truncate_replies_to = 6}, 43, {}, kReply, 1},
        {"noise before the answer", {.garbage_prefix = "\xAA\x55"}, 0, {}, kAcked, 1},
        {"noise starting with NAK", {.garbage_prefix = "\x15\xAA"}, 0, {}, kRefused, 1, refusal},
        {"two frames dropped", {.drop_first_frames = 2}, 0, {}, kAcked, 3},
        {"a read request dropped", {.drop_first_frames = 1}, 44, counter, kReply, 2},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        unit->set_item_data(44, std::string("\x39\x30", 2));
        unit->set_faults(c.faults);
        messages.clear();
        const auto start = WallClock::now();
        const auto cpu = thread_cpu_time();
        Variant result;
        const auto error = raised([&] {
            if (c.item == 0) return de->meterteller_aan();
            result = Variant(static_cast<std::int16_t>(c.item));
            de->lees_data(result);
        });
        const auto took = WallClock::now() - start;
        EXPECT_GE(took, c.at_least);
        EXPECT_LT(took, kBounded);
        // A silent unit costs almost no CPU: the reply windows block, they do not spin.
        if (c.at_least > 0ms) {
            EXPECT_LT(thread_cpu_time() - cpu, 100ms);
        }
        if (c.item != 0 && !c.read) {
            EXPECT_EQ(error ? std::optional(error->number()) : std::nullopt,
                      ErrorNumber::InvalidArgument);
        } else {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(de->last_outcome(), c.outcome);
            EXPECT_EQ(result, c.read.value_or(Variant()));
        }
        if (c.message) {
            EXPECT_THAT(messages, Contains(c.message));
        }
        settle(c.frames);
        EXPECT_EQ(unit->frames().size(), c.frames);
        const std::string sent = c.item ? "02 00 00 01 " + hex(std::string(1, char(c.item))) + " 0D"
                                        : "02 01 00 00 26 00 0D";
        for (const auto& frame : unit->frames()) EXPECT_EQ(hex(frame.bytes), sent);
        expect_next_call_works();
    }
}

TEST_F(Faults, LineClosedInTheMiddleOfATransaction) {
    for (const int item : {0, 43}) {
        unit->set_faults({.silent = true, .close_after_frames = 2});
        const auto start = WallClock::now();
        const auto lost = raised([&] {
            if (item == 0) return de->meterteller_aan();
            Variant tekst(static_cast<std::int16_t>(item));
            de->lees_data(tekst);
        });
        ASSERT_TRUE(lost) << item;
        EXPECT_EQ(lost->number(), ErrorNumber::DeviceLost);
        EXPECT_THAT(lost->description(), HasSubstr(unit->device_path()));
        EXPECT_LT(WallClock::now() - start, kBounded);
        EXPECT_FALSE(port->PortOpen());

        // Closed now: calls send nothing and raise nothing until the host opens again.
        EXPECT_EQ(raised([&] { de->meterteller_uit(); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
        connect();
        expect_next_call_works();
    }
}

TEST_F(Faults, ReopeningALostDeviceFailsClearlyUntilItIsBack) {
    const std::string path = unit->device_path();
    unit->close_line();
    EXPECT_EQ(error_of([&] { de->meterteller_aan(); }), ErrorNumber::DeviceLost);
    unit.reset();

    messages.clear();
    open(*de);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_THAT(messages, Contains("Illegal port number"));
    EXPECT_THAT(de->last_open_error(), HasSubstr(path));
    connect();
    expect_next_call_works();
}

TEST_F(Faults, SecondProgramOnTheSameDeviceIsTurnedAwayClearly) {
    auto other = std::make_shared<clsvyx7>();
    std::vector<std::string> other_messages;
    other->set_message_box([&](const std::string& text) { other_messages.push_back(text); });
    other->meldingen();
    auto other_port = std::make_shared<TermiosPort>();
    other_port->bind(unit->device_path());
    other->ComObject(Variant(std::static_pointer_cast<Object>(other_port)));
    open(*other);
    EXPECT_FALSE(other_port->PortOpen());
    EXPECT_THAT(other_messages, Contains("Illegal port number"));
    EXPECT_EQ(other->last_open_error(),
              "Port busy: " + unit->device_path() + " is in use by another program");
    // The second program's calls send nothing onto the line the first one owns.
    other->meterteller_aan();
    EXPECT_EQ(other->last_outcome(), Outcome::PortClosed);
    expect_next_call_works();

    open(*de, false);
    open(*other);
    EXPECT_TRUE(other_port->PortOpen()) << other->last_open_error();
    other->meterteller_aan();
    EXPECT_EQ(other->last_outcome(), Outcome::Acknowledged);
    open(*other, false);
    open(*de);
    expect_next_call_works();
}

// Four threads share one controller; each writes a value only it writes and reads it back, so a
// reply taken by the wrong call shows as a wrong value.
TEST_F(Faults, FourThreadsEachGetTheirOwnReplies) {
    de->set_fast_reads(true);
    constexpr int kRounds = 20;
    using Let = void (clsvyx7::*)(Variant&);
    const auto n = [](int i) { return std::to_string(i); };
    const struct {
        Let write;
        std::function<Variant(int round)> value;
        int item;
        std::function<Variant(int round)> read_back;
    } threads[] = {
        {&clsvyx7::afstand, [](int r) { return Variant(r * 10.1); }, 43,
         [&](int r) { return Variant(n(r * 101)); }},
        {&clsvyx7::afstand2, [](int r) { return Variant(r * 20.3); }, 44,
         [&](int r) { return Variant(n(r * 203)); }},
        {&clsvyx7::tijd, [&](int r) { return Variant(n(r) + ":9|" + n(r) + "-3-2031"); }, 41,
         [&](int r) { return Variant(" " + n(r) + ": 9  " + n(r) + "/ 3/ 31"); }},
        {&clsvyx7::schrijf_commando, [&](int r) { return Variant(n(200 + r) + "|74"); }, 35,
         [](int r) { return Variant(static_cast<std::int16_t>(200 + r)); }},
    };
    const auto start = WallClock::now();
    {
        std::vector<std::jthread> running;
        for (const auto& t : threads) {
            running.emplace_back([&] {
                for (int round = 1; round <= kRounds; ++round) {
                    Variant value = t.value(round);
                    Variant tekst(static_cast<std::int16_t>(t.item));
                    const auto error = raised([&] {
                        (de.get()->*t.write)(value);
                        de->lees_data(tekst);
                    });
                    EXPECT_EQ(error, std::nullopt) << (error ? error->description() : "");
                    EXPECT_EQ(tekst, t.read_back(round));
                }
            });
        }
    }
    EXPECT_LT(WallClock::now() - start, 60s);
    // Every frame reached the unit whole: nothing interleaved, nothing skipped as noise.
    EXPECT_TRUE(unit->wait_for_frames(4 * 2 * kRounds, kBounded));
    EXPECT_EQ(unit->frames().size(), 4u * 2 * kRounds);
    EXPECT_EQ(unit->noise(), "");
    for (const auto& frame : unit->frames()) EXPECT_THAT(hex(frame.answer), Not(""));
    expect_next_call_works();
}

}  // namespace
}  // namespace quarn7::testing
