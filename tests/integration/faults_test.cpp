// The controller over a real pseudo-terminal against a simulated unit that misbehaves on purpose.
// Every case: the call ends in bounded time with the message or error it should, nothing
// crashes, and the next call on the same controller works.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/clsvyx7.h"
#include "platform/error.h"
#include "platform/termios_port.h"
#include "sim/simulated_unit.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::HasSubstr;
using testing::hex;
using ::testing::Not;
using WallClock = std::chrono::steady_clock;

// What "bounded" means on a shared, noisy machine: far beyond the 0.6 s and 0.9 s the
// transactions take, far below a hang.
constexpr auto kBounded = 5s;

struct Ended {
    WallClock::duration took;
    std::optional<Error> error;
};

Ended run(const std::function<void()>& call) {
    const auto start = WallClock::now();
    std::optional<Error> error;
    try {
        call();
    } catch (const Error& e) {
        error = e;
    }
    return {WallClock::now() - start, error};
}

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        connect();
    }

    void connect() {
        unit = sim::SimulatedUnit::Builder().build();
        port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        open();
        ASSERT_TRUE(port->PortOpen()) << de->last_open_error();
    }
    void open() {
        Variant yes(true);
        de->OpenClose(yes);
    }
    void diagnostics_on() {
        if (de->state().meldingen_aan != -1) de->meldingen();
    }
    Variant read_item(int item) {
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_data(tekst);
        return tekst;
    }
    // Lets answers still on their way land (and be logged) before the next call.
    void settle(std::size_t frames) {
        unit->set_faults({});
        EXPECT_TRUE(unit->wait_for_frames(frames, kBounded));
        std::this_thread::sleep_for(50ms);
    }
    // A write and a read back of a value no earlier call used, each with its own answer.
    void expect_next_call_works() {
        static double value = 100.0;
        value += 1.1;
        unit->set_faults({});
        unit->clear_frames();
        Variant distance(value);
        const Ended write = run([&] { de->afstand(distance); });
        EXPECT_FALSE(write.error) << write.error->description();
        EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
        Variant read_back;
        const Ended read = run([&] { read_back = de->afstand(); });
        EXPECT_FALSE(read.error) << read.error->description();
        EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
        EXPECT_DOUBLE_EQ(read_back.to_double(), distance.to_double() / 10);
        EXPECT_TRUE(unit->wait_for_frames(2, kBounded));
        EXPECT_EQ(unit->frames().size(), 2u);
    }

    std::unique_ptr<sim::SimulatedUnit> unit;
    std::shared_ptr<TermiosPort> port;
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

TEST_F(Faults, SilentUnit) {
    diagnostics_on();
    unit->set_faults({.silent = true});
    const Ended command = run([&] { de->meterteller_aan(); });
    EXPECT_FALSE(command.error);
    EXPECT_GE(command.took, 590ms);
    EXPECT_LT(command.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
    EXPECT_TRUE(unit->wait_for_frames(6, kBounded));
    for (const auto& frame : unit->frames()) EXPECT_EQ(hex(frame.bytes), "02 01 00 00 26 00 0D");

    Variant tekst;
    const Ended read = run([&] { tekst = read_item(43); });
    EXPECT_FALSE(read.error);
    EXPECT_GE(read.took, 890ms);
    EXPECT_LT(read.took, kBounded);
    EXPECT_EQ(tekst, Variant(std::string()));
    EXPECT_TRUE(unit->wait_for_frames(9, kBounded));
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "No reaction from DE"), 2);
    expect_next_call_works();
}

TEST_F(Faults, RefusingUnit) {
    diagnostics_on();
    unit->set_faults({.refuse = true});
    Variant count(std::int16_t{7});
    const Ended write = run([&] { de->foto_nummer(count); });
    EXPECT_FALSE(write.error);
    EXPECT_LT(write.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);
    EXPECT_THAT(messages, Contains("Command not accepted"));
    EXPECT_TRUE(unit->wait_for_frames(1, kBounded));
    EXPECT_EQ(unit->frames().size(), 1u);  // a refusal is not repeated
    // A lone NAK is no read reply: the read asks three times and gives nothing.
    EXPECT_EQ(read_item(43), Variant(std::string()));
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
    expect_next_call_works();
}

TEST_F(Faults, AnswerLateByOneWindowIsTakenInTheNext) {
    unit->set_faults({.delay = 150ms});
    const Ended command = run([&] { de->meterteller_aan(); });
    EXPECT_LT(command.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    settle(2);
    EXPECT_EQ(unit->frames().size(), 2u);

    // Past a whole read attempt: the answer to the first request lands in the second's.
    unit->set_faults({.delay = 350ms});
    unit->set_item_data(44, std::string("\x39\x30", 2));
    const Ended read = run([&] { EXPECT_EQ(read_item(44), Variant("12345")); });
    EXPECT_LT(read.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
    settle(4);
    EXPECT_EQ(unit->frames().size(), 4u);
    expect_next_call_works();
}

TEST_F(Faults, AnswersAfterTheLastWindowAreNotTakenByTheNextCall) {
    diagnostics_on();
    unit->set_faults({.delay = 700ms});
    const Ended command = run([&] { de->meterteller_aan(); });
    EXPECT_LT(command.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
    EXPECT_THAT(messages, Contains("No reaction from DE"));
    settle(6);  // six acknowledges now wait in the host's input
    expect_next_call_works();

    // A read reply arriving after the read gave up is not the next read's value.
    unit->set_faults({.delay = 1000ms});
    EXPECT_EQ(read_item(43), Variant(std::string()));
    settle(3);
    unit->set_item_data(44, std::string("\x2A\x00", 2));
    EXPECT_EQ(read_item(44), Variant("42"));
    expect_next_call_works();
}

TEST_F(Faults, TruncatedReplies) {
    unit->set_faults({.truncate_replies_to = 3});
    const Ended short_reply = run([&] { EXPECT_EQ(read_item(43), Variant(std::string())); });
    EXPECT_FALSE(short_reply.error);
    EXPECT_LT(short_reply.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
    EXPECT_TRUE(unit->wait_for_frames(3, kBounded));

    // Long enough to count as a reply, too short for the four bytes of a counter.
    unit->set_faults({.truncate_replies_to = 6});
    const Ended cut_data = run([&] { read_item(43); });
    ASSERT_TRUE(cut_data.error);
    EXPECT_EQ(cut_data.error->number(), ErrorNumber::InvalidArgument);
    EXPECT_LT(cut_data.took, kBounded);
    settle(4);
    expect_next_call_works();
}

TEST_F(Faults, GarbageBeforeTheAnswer) {
    diagnostics_on();
    unit->set_faults({.garbage_prefix = "\xAA\x55"});
    de->meterteller_aan();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    settle(1);  // the call took the first byte; the rest of its answer is still on the way
    // Noise that starts with NAK is a refusal, whatever follows it.
    unit->set_faults({.garbage_prefix = "\x15\xAA"});
    const Ended refused = run([&] { de->meterteller_uit(); });
    EXPECT_LT(refused.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);
    EXPECT_THAT(messages, Contains("Command not accepted"));
    settle(2);
    expect_next_call_works();
}

TEST_F(Faults, DroppedFrames) {
    unit->set_faults({.drop_first_frames = 2});
    const Ended command = run([&] { de->meterteller_aan(); });
    EXPECT_LT(command.took, kBounded);
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    ASSERT_TRUE(unit->wait_for_frames(3, kBounded));
    const auto frames = unit->frames();
    EXPECT_EQ(frames[0].answer, "");
    EXPECT_EQ(frames[1].answer, "");
    EXPECT_EQ(hex(frames[2].answer), "06");

    unit->set_faults({.drop_first_frames = 1});
    unit->set_item_data(44, std::string("\x39\x30", 2));
    EXPECT_EQ(read_item(44), Variant("12345"));
    EXPECT_TRUE(unit->wait_for_frames(5, kBounded));
    EXPECT_EQ(unit->frames().size(), 5u);
    expect_next_call_works();
}

TEST_F(Faults, LineClosedInTheMiddleOfATransaction) {
    const std::function<void()> calls[] = {
        [&] { de->meterteller_aan(); },
        [&] { read_item(43); },
    };
    for (const auto& call : calls) {
        unit->set_faults({.silent = true, .close_after_frames = 2});
        const Ended lost = run(call);
        ASSERT_TRUE(lost.error);
        EXPECT_EQ(lost.error->number(), ErrorNumber::DeviceLost);
        EXPECT_THAT(lost.error->description(), HasSubstr(unit->device_path()));
        EXPECT_LT(lost.took, kBounded);
        EXPECT_FALSE(port->PortOpen());

        // Closed now: calls send nothing and raise nothing until the host opens again.
        const Ended closed = run([&] { de->meterteller_uit(); });
        EXPECT_FALSE(closed.error);
        EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
        connect();
        expect_next_call_works();
    }
}

TEST_F(Faults, ReopeningALostDeviceFailsClearlyUntilItIsBack) {
    diagnostics_on();
    const std::string path = unit->device_path();
    unit->close_line();
    const Ended lost = run([&] { de->meterteller_aan(); });
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->number(), ErrorNumber::DeviceLost);
    unit.reset();

    messages.clear();
    open();
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
    Variant yes(true);
    other->OpenClose(yes);
    EXPECT_FALSE(other_port->PortOpen());
    EXPECT_THAT(other_messages, Contains("Illegal port number"));
    EXPECT_EQ(other->last_open_error(),
              "Port busy: " + unit->device_path() + " is in use by another program");
    // The second program's calls send nothing onto the line the first one owns.
    other->meterteller_aan();
    EXPECT_EQ(other->last_outcome(), Outcome::PortClosed);
    expect_next_call_works();

    Variant no(false);
    de->OpenClose(no);
    other->OpenClose(yes);
    EXPECT_TRUE(other_port->PortOpen()) << other->last_open_error();
    other->meterteller_aan();
    EXPECT_EQ(other->last_outcome(), Outcome::Acknowledged);
    other->OpenClose(no);
    open();
    expect_next_call_works();
}

// Four threads share one controller; each writes a value only it writes and reads it back, so a
// reply taken by the wrong call shows as a wrong value.
TEST_F(Faults, FourThreadsEachGetTheirOwnReplies) {
    de->set_fast_reads(true);
    constexpr int kRounds = 20;
    struct Thread {
        std::function<void(int round)> write;
        std::function<Variant()> read;
        std::function<Variant(int round)> expected;
    };
    const Thread threads[] = {
        {[&](int r) {
             Variant v(r * 10.1);
             de->afstand(v);
         },
         [&] { return de->afstand(); }, [](int r) { return Variant(r * 101 / 10.0); }},
        {[&](int r) {
             Variant v(r * 20.3);
             de->afstand2(v);
         },
         [&] { return de->afstand2(); }, [](int r) { return Variant(r * 203 / 10.0); }},
        {[&](int r) {
             Variant v(std::to_string(r) + ":" + std::to_string(59 - r) + "|" +
                       std::to_string(r + 1) + "-3-2031");
             de->tijd(v);
         },
         [&] { return read_item(41); },
         [](int r) {
             return Variant(" " + std::to_string(r) + ": " + std::to_string(59 - r) + "  " +
                            std::to_string(r + 1) + "/ 3/ 31");
         }},
        {[&](int r) {
             Variant v(std::to_string(200 + r) + "|74");
             de->schrijf_commando(v);
         },
         [&] { return read_item(35); },
         [](int r) { return Variant(static_cast<std::int16_t>(200 + r)); }},
    };
    std::atomic<int> wrong = 0;
    std::atomic<int> errors = 0;
    const auto start = WallClock::now();
    {
        std::vector<std::jthread> running;
        for (const Thread& t : threads) {
            running.emplace_back([&] {
                for (int round = 1; round <= kRounds; ++round) {
                    try {
                        t.write(round);
                        const Variant got = t.read();
                        if (got != t.expected(round)) {
                            ++wrong;
                            ADD_FAILURE()
                                << got.to_text() << " for " << t.expected(round).to_text();
                        }
                    } catch (const Error& e) {
                        ++errors;
                        ADD_FAILURE() << e.description();
                    }
                }
            });
        }
    }
    EXPECT_LT(WallClock::now() - start, 60s);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(errors, 0);
    // Every frame reached the unit whole: nothing interleaved, nothing skipped as noise.
    EXPECT_TRUE(unit->wait_for_frames(4 * 2 * kRounds, kBounded));
    EXPECT_EQ(unit->frames().size(), 4u * 2 * kRounds);
    EXPECT_EQ(unit->noise(), "");
    for (const auto& frame : unit->frames()) EXPECT_THAT(hex(frame.answer), Not(""));
    expect_next_call_works();
}

}  // namespace
}  // namespace quarn7
