// The controller over a real pseudo-terminal against a simulated unit that misbehaves on purpose:
// every call ends in bounded time with the outcome, message or error it should, and the next call
// on the same controller works. On a busy machine an answer may miss its 0.1 s window and the
// controller rightly sends again, so these check outcomes, values and what each frame holds; the
// exact repeats are pinned on the scripted port.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

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
using ::testing::ElementsAre;
using WallClock = std::chrono::steady_clock;
constexpr auto kBounded = 10s;  // far beyond the 0.6 s and 0.9 s a call takes, far below a hang

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
        de->set_trace([this](const TraceEvent& e) { sent += e.direction == TraceEvent::Direction::Out; });
        de->meldingen();
        connect();
    }
    void connect(sim::SimulatedUnit::Builder builder = {}) {
        unit = builder.build();
        port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        Variant yes(true);
        de->OpenClose(yes);
        ASSERT_TRUE(port->PortOpen()) << de->last_open_error();
        sent = 0;
    }
    // Waits until the unit has answered every frame the host sent, so that no answer still on its
    // way reaches the next call; gives the frames received, repeats in a row taken as one.
    std::vector<std::string> settle() {
        EXPECT_TRUE(unit->wait_for_frames(sent, kBounded));
        std::this_thread::sleep_for(30ms);
        std::vector<std::string> distinct;
        for (const auto& f : unit->frames()) {
            if (distinct.empty() || distinct.back() != hex(f.bytes)) distinct.push_back(hex(f.bytes));
        }
        EXPECT_EQ(unit->frames().size(), std::size_t(sent)) << "a frame was lost or split";
        unit->clear_frames();
        sent = 0;
        return distinct;
    }
    // A read, a write and a read back of values no earlier call used.
    void expect_next_call_works() {
        static int value = 1000;
        value += 11;
        unit->set_faults({});
        settle();
        unit->set_item_data(44, {static_cast<char>(value % 256), static_cast<char>(value / 256)});
        Variant item(std::int16_t{44}), distance(value / 10.0);
        EXPECT_EQ(raised([&] { de->lees_data(item); }), std::nullopt);
        EXPECT_EQ(item, Variant(std::to_string(value)));
        EXPECT_EQ(settle().size(), 1u);
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
};

TEST_F(Faults, EachFaultEndsAsItShouldAndTheNextCallWorks) {
    const Variant none{std::string()}, counter("12345");
    constexpr auto kAcked = Outcome::Acknowledged, kRefused = Outcome::Refused,
                   kNone = Outcome::NoReaction, kReply = Outcome::ReplyReceived;
    const char* const silence = "No reaction from DE";
    const struct {
        const char* what;
        sim::Faults faults;
        int item;                     // 0: meterteller_aan; otherwise lees_data of this item
        std::optional<Variant> read;  // nullopt: the read raises InvalidArgument
        Outcome outcome;
        int frames;  // at least; exactly when the unit never answers in time
        bool exact = false;
        const char* message = nullptr;
    } cases[] = {
        {"silent", {.silent = true}, 0, {}, kNone, 6, true, silence},
        {"silent read", {.silent = true}, 43, none, kNone, 3, true, silence},
        {"refusing", {.refuse = true}, 0, {}, kRefused, 1, false, "Command not accepted"},
        {"late", {.delay = 150ms}, 0, {}, kAcked, 2},
        {"late read", {.delay = 350ms}, 44, counter, kReply, 2},
        // Long after the call gave up, so that no slow wake-up brings them in.
        {"after the last window", {.delay = 1200ms}, 0, {}, kNone, 6, true},
        {"read reply after the read gave up", {.delay = 1800ms}, 44, none, kNone, 3, true},
        {"cut short of a reply", {.truncate_replies_to = 3}, 43, none, kNone, 3, true},
        {"cut short of its data", {.truncate_replies_to = 6}, 43, {}, kReply, 1},
        {"noise before the answer", {.garbage_prefix = "\xAA\x55"}, 0, {}, kAcked, 1},
        {"noise starting with NAK", {.garbage_prefix = "\x15\xAA"}, 0, {}, kRefused, 1},
        {"two frames dropped", {.drop_first_frames = 2}, 0, {}, kAcked, 3},
        {"a read request dropped", {.drop_first_frames = 1}, 44, counter, kReply, 2},
    };
    for (const auto& c : cases) {
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
        EXPECT_LT(WallClock::now() - start, kBounded);
        // A silent unit costs almost no CPU: the reply windows block, they do not spin.
        EXPECT_LT(thread_cpu_time() - cpu, 100ms);
        if (c.read || c.item == 0) {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(de->last_outcome(), c.outcome);
            EXPECT_EQ(result, c.read.value_or(Variant()));
        } else {
            EXPECT_EQ(error ? error->number() : ErrorNumber{}, ErrorNumber::InvalidArgument);
        }
        if (c.message) {
            EXPECT_THAT(messages, Contains(c.message));
        }
        EXPECT_GE(sent, c.frames);
        EXPECT_LE(sent, c.exact ? c.frames : c.item ? 3 : 6);
        EXPECT_THAT(settle(), ElementsAre(c.item ? "02 00 00 01 " + hex(std::string(1, char(c.item))) + " 0D"
                                                 : "02 01 00 00 26 00 0D"));
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
        const auto lost = raised([&] {
            Variant tekst(static_cast<std::int16_t>(item));
            item ? (void)de->lees_data(tekst) : de->meterteller_aan();
        });
        ASSERT_TRUE(lost) << item;
        EXPECT_EQ(lost->number(), ErrorNumber::DeviceLost);
        EXPECT_EQ(lost->description(), "Device lost: " + path);
        EXPECT_LT(WallClock::now() - start, kBounded);
        EXPECT_FALSE(port->PortOpen());
        de->meterteller_uit();  // closed now: sends nothing, raises nothing
        EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
        unit.reset();
        messages.clear();
        Variant yes(true);
        de->OpenClose(yes);
        EXPECT_THAT(messages, ElementsAre("Illegal port number"));
        EXPECT_EQ(de->last_open_error(), "No such device: " + path);
        connect();
        expect_next_call_works();
    }
}

TEST_F(Faults, SecondProgramOnTheSameDeviceIsTurnedAwayClearly) {
    auto other = std::make_shared<clsvyx7>();
    auto other_port = std::make_shared<TermiosPort>();
    other_port->bind(unit->device_path());
    other->ComObject(Variant(std::static_pointer_cast<Object>(other_port)));
    Variant yes(true), no(false);
    other->OpenClose(yes);
    EXPECT_EQ(other->last_open_error(), "Port busy: " + unit->device_path() + " is in use by another program");
    other->meterteller_aan();  // sends nothing onto the line the first one owns
    EXPECT_EQ(other->last_outcome(), Outcome::PortClosed);
    expect_next_call_works();
    de->OpenClose(no);
    other->OpenClose(yes);
    other->meterteller_aan();
    EXPECT_EQ(other->last_outcome(), Outcome::Acknowledged);
}

// Four threads share one controller; each writes a value only it writes and reads it back, so a
// reply taken by the wrong call shows as a wrong value. The unit answers at once, so its answers
// come within their windows even on a busy machine.
TEST_F(Faults, FourThreadsEachGetTheirOwnReplies) {
    Variant no(false);
    de->OpenClose(no);
    sim::SimulatedUnit::Builder at_once;
    at_once.paced(false).turnaround(0us);
    connect(at_once);
    de->set_fast_reads(true);
    using Let = void (clsvyx7::*)(Variant&);
    const auto n = [](int i) { return std::to_string(i); };
    const std::tuple<Let, std::function<Variant(int)>, int, std::function<Variant(int)>> threads[] = {
        {&clsvyx7::afstand, [](int r) { return Variant(r * 10.1); }, 43, [&](int r) { return Variant(n(r * 101)); }},
        {&clsvyx7::afstand2, [](int r) { return Variant(r * 20.3); }, 44, [&](int r) { return Variant(n(r * 203)); }},
        {&clsvyx7::tijd, [&](int r) { return Variant(n(r) + ":9|" + n(r) + "-3-2031"); }, 41,
         [&](int r) { return Variant(" " + n(r) + ": 9  " + n(r) + "/ 3/ 31"); }},
        {&clsvyx7::schrijf_commando, [&](int r) { return Variant(n(200 + r) + "|74"); }, 35,
         [](int r) { return Variant(static_cast<std::int16_t>(200 + r)); }},
    };
    {
        std::vector<std::jthread> running;
        for (const auto& [write, value, item, read_back] : threads) {
            running.emplace_back([&] {
                for (int round = 1; round <= 20; ++round) {
                    Variant v = value(round), tekst(static_cast<std::int16_t>(item));
                    EXPECT_EQ(raised([&] { (de.get()->*write)(v), de->lees_data(tekst); }), std::nullopt);
                    EXPECT_EQ(tekst, read_back(round));
                }
            });
        }
    }
    EXPECT_GE(sent, 4 * 2 * 20);
    EXPECT_EQ(settle().size(), 4u * 2 * 20);  // every frame whole: nothing interleaved or lost
    EXPECT_EQ(unit->noise(), "");
}

}  // namespace
}  // namespace quarn7::testing
