// Repeats, reply windows, refusals, damaged answers and messages of the transactions, on a fake
// clock: a do-command (the write transaction shares its sending) and a read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Each;
using ::testing::IsEmpty;
using ::testing::Not;
using Times = std::vector<Clock::duration>;

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');
const std::string kMeterAan = "02 01 00 00 26 00 0D";
const Times kSixSends = {0ms, 100ms, 200ms, 300ms, 400ms, 500ms};
const std::string kNoReaction = "No reaction from DE";

// One call against a scripted unit. Messages are those shown with diagnostics on; with them off
// the same call shows none.
struct Exchange {
    const char* what;
    std::vector<Answer> answers;  // to the first, second, ... frame sent
    Answer before = {};           // arriving from the call's start, before any frame
    Times sends = {};
    Clock::duration took = {};
    Outcome outcome = Outcome::NoReaction;
    std::vector<std::string> messages = {};
    Variant read = {};  // a read's result
    bool fast = false;  // fast reads
};

void prepare(Controller& c, const Exchange& x, bool diagnostics) {
    c.open();
    if (diagnostics) c.diagnostics_on();
    c.de->set_fast_reads(x.fast);
    for (const Answer& a : x.answers) c.port->answer(a);
    for (const Chunk& chunk : x.before) c.port->arrive(chunk.after, chunk.bytes, chunk.damaged);
}

void expect_ended(const Controller& c, const Exchange& x, bool diagnostics) {
    EXPECT_THAT(c.send_times(), ElementsAreArray(x.sends));
    EXPECT_EQ(c.clock.elapsed(), x.took);
    EXPECT_EQ(c.de->last_outcome(), x.outcome);
    if (diagnostics) {
        EXPECT_THAT(c.messages, ElementsAreArray(x.messages));
    } else {
        EXPECT_THAT(c.messages, IsEmpty());
    }
}

TEST(Exchanges, DoCommandAnswersWindowsAndRepeats) {
    const std::string echo = "226010D";
    const Exchange cases[] = {
        {"ACK in the window", {{{30ms, kAck}}}, {}, {0ms}, 30ms, Outcome::Acknowledged, {echo}},
        {"ACK at the window's end", {{{99ms, kAck}}}, {}, {0ms}, 99ms, Outcome::Acknowledged,
         {echo}},
        {"ACK in the second window", {{{150ms, kAck}}}, {}, {0ms, 100ms}, 150ms,
         Outcome::Acknowledged, {echo}},
        {"silent", {}, {}, kSixSends, 600ms, Outcome::NoReaction, {echo, kNoReaction}},
        {"refusal: not repeated", {{{5ms, kNak}}}, {}, {0ms}, 5ms, Outcome::Refused,
         {echo, "Command not accepted"}},
        {"NAK first, more bytes after", {{{5ms, kNak + kAck}}}, {}, {0ms}, 5ms, Outcome::Refused,
         {echo, "Command not accepted"}},
        {"a stale ACK is no answer", {}, {{0ms, kAck}}, kSixSends, 600ms, Outcome::NoReaction,
         {echo, kNoReaction}},
        {"a damaged stale byte spoils nothing", {{{5ms, kAck}}}, {damaged(0ms, "x")}, {0ms}, 5ms,
         Outcome::Acknowledged, {echo}},
        {"damaged ACK", {{damaged(5ms, kAck)}, {{5ms, kAck}}}, {}, {0ms, 100ms}, 105ms,
         Outcome::Acknowledged, {echo}},
        {"damaged NAK", {{damaged(5ms, kNak)}, {{5ms, kAck}}}, {}, {0ms, 100ms}, 105ms,
         Outcome::Acknowledged, {echo}},
        {"NAK beside a damaged byte", {{{5ms, kNak}, damaged(5ms, "x")}, {{5ms, kNak}}}, {},
         {0ms, 100ms}, 105ms, Outcome::Refused, {echo, "Command not accepted"}},
        {"the rest of a damaged answer is not the repeat's",
         {{damaged(5ms, kAck), {5ms, "\r"}, {60ms, kAck}}}, {}, kSixSends, 600ms,
         Outcome::NoReaction, {echo, kNoReaction}},
        {"every answer damaged", std::vector<Answer>(6, Answer{damaged(5ms, kAck)}), {},
         kSixSends, 600ms, Outcome::NoReaction, {echo, kNoReaction}},
    };
    for (const Exchange& x : cases) {
        for (const bool diagnostics : {false, true}) {
            SCOPED_TRACE(std::string(x.what) + (diagnostics ? ", diagnostics on" : ""));
            Controller c;
            prepare(c, x, diagnostics);
            c.de->meterteller_aan();
            expect_ended(c, x, diagnostics);
            for (const auto& frame : c.port->frames()) EXPECT_EQ(hex(frame), kMeterAan);
            EXPECT_EQ(hex(c.de->state().commando_frame), kMeterAan);
        }
    }
}

class DoCommand : public ControllerTest {};

TEST_F(DoCommand, ClosedPortSendsNothingAndShowsOnlyTheEcho) {
    diagnostics_on();
    de->voeruit1();  // a fresh controller's words are all 0
    EXPECT_THAT(port->writes(), IsEmpty());
    EXPECT_THAT(messages, ElementsAre("20000D"));
    EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
    EXPECT_EQ(clock.elapsed(), 0ms);
}

TEST_F(DoCommand, LostDeviceRaisesAndTheControllerWorksAfterReopening) {
    open();
    port->answer_with([this](const std::string&) {
        port->lose_device();
        return Answer{};
    });
    EXPECT_EQ(error_of([&] { de->meterteller_aan(); }), ErrorNumber::DeviceLost);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_LE(clock.elapsed(), 600ms);

    port->answer_with(nullptr);
    open();
    port->answer({{1ms, kAck}});
    de->meterteller_aan();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
}

TEST(DoCommandWithoutPort, RaisesObjectNotSet) {
    clsvyx7 de;
    EXPECT_EQ(error_of([&] { de.voeruit1(); }), ErrorNumber::ObjectNotSet);
}

TEST(Exchanges, ReadAnswersWindowsAndRepeats) {
    const std::string full = bytes("06 02 04 00 10 27 00 00 0D");  // item 43: 10000
    const std::string echo = "22B1000D";
    const Times three = {0ms, 300ms, 600ms};
    const Variant none{std::string()};
    const Answer damaged_reply = {
        {2ms, bytes("06 02 04 00 10 27")}, damaged(2ms, "\x01"), {2ms, bytes("00 00 0D")}};
    const Exchange cases[] = {
        // The wait after the request is not cut short.
        {"reply in the window", {{{5ms, full}}}, {}, {0ms}, 100ms, Outcome::ReplyReceived, {echo},
         "10000"},
        {"silent", {}, {}, three, 900ms, Outcome::NoReaction, {echo, kNoReaction}, none},
        {"in two pieces, joined in the second wait",
         {{{10ms, bytes("06 02 04")}, {150ms, bytes("00 10 27 00 00 0D")}}}, {}, {0ms}, 200ms,
         Outcome::ReplyReceived, {echo}, "10000"},
        {"stale bytes do not start the reply", {{{5ms, full}}}, {{0ms, bytes("06 02 01 00 07 0D")}},
         {0ms}, 100ms, Outcome::ReplyReceived, {echo}, "10000"},
        {"a lone NAK is no reply", std::vector<Answer>(3, Answer{{5ms, kNak}}), {},
         {0ms, 200ms, 400ms}, 600ms, Outcome::NoReaction, {echo, kNoReaction}, none},
        // Taken as data, the damaged byte would read 10000 + 65536 * x.
        {"a damaged data byte: asked again", {damaged_reply, {{5ms, full}}}, {}, {0ms, 300ms},
         400ms, Outcome::ReplyReceived, {echo}, "10000"},
        {"every reply damaged", std::vector<Answer>(3, damaged_reply), {}, three, 900ms,
         Outcome::NoReaction, {echo, kNoReaction}, none},
        {"fast: ends once the reply is complete", {{{5ms, full}}}, {}, {0ms}, 5ms,
         Outcome::ReplyReceived, {echo}, "10000", true},
        {"fast: damaged takes as long as silent", std::vector<Answer>(3, damaged_reply), {},
         three, 900ms, Outcome::NoReaction, {echo, kNoReaction}, none, true},
    };
    for (const Exchange& x : cases) {
        for (const bool diagnostics : {false, true}) {
            SCOPED_TRACE(std::string(x.what) + (diagnostics ? ", diagnostics on" : ""));
            Controller c;
            prepare(c, x, diagnostics);
            EXPECT_EQ(c.read_item(43), x.read);
            expect_ended(c, x, diagnostics);
            for (const auto& frame : c.port->frames()) EXPECT_EQ(hex(frame), "02 00 00 01 2B 0D");
        }
    }
}

class Read : public ControllerTest {
protected:
    void SetUp() override { open(); }
};

TEST_F(Read, ClosedPortLeavesTheEcho) {
    close();
    EXPECT_EQ(read_item(43), Variant("22B1000D"));
    EXPECT_THAT(port->writes(), IsEmpty());
}

TEST_F(Read, FiveBytesAnnouncingFourAreAReplyShortOfData) {
    for (const bool fast : {false, true}) {
        de->set_fast_reads(fast);
        const auto start = clock.elapsed();
        port->answer({{5ms, bytes("06 02 04 00 10")}});
        EXPECT_EQ(error_of([&] { read_item(43); }), ErrorNumber::InvalidArgument) << fast;
        EXPECT_EQ(clock.elapsed() - start, 100ms) << fast;
    }
    EXPECT_EQ(port->writes().size(), 2u);
}

TEST_F(Read, FailedSendIsAlwaysReportedAndTheAttemptGoesOn) {
    port->fail_writes(1);
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_THAT(messages, ElementsAre("Fout bij sturen commando naar DE"));
    EXPECT_EQ(port->writes().size(), 1u);
    EXPECT_EQ(clock.elapsed(), 300ms + 100ms);
}

TEST_F(Read, CallsFromTheEventPumpAreRefusedAndNeverTakeTheReply) {
    std::vector<std::optional<ErrorNumber>> refused;
    de->set_event_pump([&] { refused.push_back(error_of([&] { de->voeruit1(); })); });
    port->answer({});  // the first request is lost
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_THAT(refused, Not(IsEmpty()));
    EXPECT_THAT(refused, Each(std::optional(ErrorNumber::CallRefused)));
    // Both sends carried the read's own request.
    EXPECT_THAT(port->frames(), ElementsAre(bytes("02 00 00 01 21 0D"), bytes("02 00 00 01 21 0D")));
}

TEST_F(Read, ConcurrentCallsEachGetTheirOwnReply) {
    // The unit answers item n with the byte 2n.
    port->answer_with([](const std::string& frame) {
        const auto item = static_cast<unsigned char>(frame.at(4));
        return Answer{{2ms, bytes("06 02 01 00") + std::string(1, static_cast<char>(2 * item)) + "\r"}};
    });
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int item : {33, 34, 35, 33}) {
        threads.emplace_back([&, item] {
            for (int i = 0; i < 25; ++i) {
                if (read_item(item) != Variant(static_cast<std::int16_t>(2 * item))) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(port->writes().size(), 100u);
}

}  // namespace
}  // namespace quarn7::testing
