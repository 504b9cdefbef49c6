// The controller over a real pseudo-terminal against a simulated unit that misbehaves on purpose.
// Every case: the call ends in bounded time with the outcome, message or error it should, nothing
// crashes, and the next call on the same controller works.
//
// These tests hold on a busy machine: an answer may reach the host after its 0.1 s window, and the
// controller then rightly sends again. So they check outcomes, values and what each frame holds;
// how many repeats an exchange takes is pinned on the scripted port, on a fake clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <functional>
#include <thread>

#include "link/clsvyx7.h"
#include "platform/termios_port.h"
#include "sim/simulated_unit.h"
#include "support/errors.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using WallClock = std::chrono::steady_clock;

// Far beyond the 0.6 s and 0.9 s the transactions take, far below a hang.
constexpr auto kBounded = 10s;

std::chrono::microseconds thread_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// The frames the unit received, consecutive repeats taken as one.
std::vector<std::string> distinct(const std::vector<sim::LoggedFrame>& frames) {
    std::vector<std::string> out;
    for (const auto& f : frames) {
        if (out.empty() || out.back() != hex(f.bytes)) out.push_back(hex(f.bytes));
    }
    return out;
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->set_trace([this](const TraceEvent& e) { sent += e.direction == TraceEvent::Direction::Out; });
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
        sent = 0;
    }
    static void open(clsvyx7& c, bool yes = true) {
        Variant value(yes);
        c.OpenClose(value);
    }
    // Waits until the unit has handled (and answered) every frame the host sent, so that no
    // answer still on its way can reach the next call.
    void settle() {
        EXPECT_TRUE(unit->wait_for_frames(sent, kBounded));
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(unit->frames().size(), std::size_t(sent)) << "a frame was lost or split";
    }
    // A read, a write and a read back of values no earlier call used.
    void expect_next_call_works() {
        static int value = 1000;
        value += 11;
        unit->set_faults({});
        unit->clear_frames();
        sent = 0;
        unit->set_item_data(44, {static_cast<char>(value % 256), static_cast<char>(value / 256)});
        Variant item(std::int16_t{44}), distance(value / 10.0), read_back;
        EXPECT_EQ(raised([&] { de->lees_data(item); }), std::nullopt);
        EXPECT_EQ(item, Variant(std::to_string(value)));
        settle();
        EXPECT_EQ(raised([&] { de->afstand(distance); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
        settle();
        EXPECT_EQ(raised([&] { read_back = de->afstand(); }), std::nullopt);
        EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
        EXPECT_DOUBLE_EQ(read_back.to_double(), value / 10.0);
        settle();
        EXPECT_EQ(distinct(unit->frames()).size(), 3u);
    }

    std::unique_ptr<sim::SimulatedUnit> unit;
    std::shared_ptr<TermiosPort> port;
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
    std::atomic<int> sent = 0;
};

struct FaultCase {
    const char* what;
    sim::Faults faults;
    int item;  // 0: the do-command meterteller_aan; otherwise lees_data of this item
    std::optional<Variant> read;  // its result; nullopt: the read raises InvalidArgument
    Outcome outcome;
    int frames;  // the unit received at least these; exactly these when `exact`
    bool exact = false;
    const char* message = nullptr;
    WallClock::duration at_least = {};
};

TEST_F(Faults, EachFaultEndsAsItShouldAndTheNextCallWorks) {
    const Variant none{std::string()}, counter("12345");
    constexpr auto kAcked = Outcome::Acknowledged, kRefused = Outcome::Refused,
                   kNone = Outcome::NoReaction, kReply = Outcome::ReplyReceived;
    const char* const silence = "No reaction from DE";
    const char* const refusal = "Command not accepted";
    // Answers "after the last window" come long after it, so that no slow wake-up brings them in.
    const FaultCase cases[] = {
        {"silent", {.silent = true}, 0, {}, kNone, 6, true, silence, 590ms},
        {"silent read", {.silent = true}, 43, none, kNone, 3, true, silence, 890ms},
        {"refusing", {.refuse = true}, 0, {}, kRefused, 1, false, refusal},
        {"late", {.delay = 150ms}, 0, {}, kAcked, 2},
        {"late read", {.delay = 350ms}, 44, counter, kReply, 2},
        {"after the last window", {.delay = 1200ms}, 0, {}, kNone, 6, true},
        {"read reply after the read gave up", {.delay = 1800ms}, 44, none, kNone, 3, true},
        {"cut short of a reply", {.truncate_replies_to = 3}, 43, none, kNone, 3, true},
        {"cut short of its data", {.truncate_replies_to = 6}, 43, {}, kReply, 1},
        {"noise before the answer", {.garbage_prefix = "\xAA\x55"}, 0, {}, kAcked, 1},
        {"noise starting with NAK", {.garbage_prefix = "\x15\xAA"}, 0, {}, kRefused, 1, false, refusal},
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
        if (c.at_least > 0ms) EXPECT_LT(thread_cpu_time() - cpu, 100ms);
        if (c.item != 0 && !c.read) {
            EXPECT_EQ(error ? std::optional(error->number()) : std::nullopt,
                      ErrorNumber::InvalidArgument);
        } else {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(de->last_outcome(), c.outcome);
            EXPECT_EQ(result, c.read.value_or(Variant()));
        }
        if (c.message) EXPECT_THAT(messages, Contains(c.message));
        EXPECT_GE(sent, c.frames);
        EXPECT_LE(sent, c.exact ? c.frames : c.item ? 3 : 6);
        settle();
        const std::string request = c.item ? "02 00 00 01 " + hex(std::string(1, char(c.item))) + " 0D"
                                           : "02 01 00 00 26 00 0D";
        EXPECT_THAT(distinct(unit->frames()), ::testing::ElementsAre(request));
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
    auto other_port = std::make_shared<TermiosPort>();
    other_port->bind(unit->device_path());
    other->ComObject(Variant(std::static_pointer_cast<Object>(other_port)));
    open(*other);
    EXPECT_FALSE(other_port->PortOpen());
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
// reply taken by the wrong call shows as a wrong value. The unit answers at once, so that its
// answers come within their windows even when the machine is busy.
TEST_F(Faults, FourThreadsEachGetTheirOwnReplies) {
    open(*de, false);
    unit = sim::SimulatedUnit::Builder().paced(false).turnaround(0us).build();
    port->bind(unit->device_path());
    open(*de);
    sent = 0;
    de->set_fast_reads(true);
    constexpr int kRounds = 20;
    using Let = void (clsvyx7::*)(Variant&);
    const auto n = [](int i) { return std::to_string(i); };
    const struct {
        Let write;
        std::function<Variant(int)> value;
        int item;
        std::function<Variant(int)> read_back;
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
    {
        std::vector<std::jthread> running;
        for (const auto& t : threads) {
            running.emplace_back([&] {
                for (int round = 1; round <= kRounds; ++round) {
                    Variant value = t.value(round), tekst(static_cast<std::int16_t>(t.item));
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
    // Every frame reached the unit whole: nothing interleaved, nothing skipped as noise.
    EXPECT_GE(sent, 4 * 2 * kRounds);
    settle();
    EXPECT_EQ(unit->noise(), "");
}

}  // namespace
}  // namespace quarn7::testing
