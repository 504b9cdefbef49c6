// Repeats, reply windows, refusals, damaged answers and messages of the transactions, on a fake
// clock: a do-command (the write transaction shares its sending) and a read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;
using Times = std::vector<Clock::duration>;

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');
const std::string kMeterAan = "02 01 00 00 26 00 0D";
const Times kSixSends = {0ms, 100ms, 200ms, 300ms, 400ms, 500ms};
const std::string kNoReaction = "No reaction from DE";
constexpr auto kAcked = Outcome::Acknowledged;
constexpr auto kRefused = Outcome::Refused;
constexpr auto kNone = Outcome::NoReaction;
constexpr auto kReply = Outcome::ReplyReceived;

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
    const std::vector<std::string> said = {echo}, refused = {echo, "Command not accepted"},
                                   silence = {echo, kNoReaction};
    const Answer ack = {{5ms, kAck}}, nak = {{5ms, kNak}};
    const Answer nak_beside_damage = {{5ms, kNak}, damaged(5ms, "x")};
    // The rest of a damaged answer is not taken for the repeat's answer.
    const Answer damaged_then_rest = {damaged(5ms, kAck), {5ms, "\r"}, {60ms, kAck}};
    const std::vector<Answer> all_damaged(6, Answer{damaged(5ms, kAck)});
    const Times two = {0ms, 100ms};
    const Exchange cases[] = {
        {"ACK in the window", {{{30ms, kAck}}}, {}, {0ms}, 30ms, kAcked, said},
        {"ACK at the window's end", {{{99ms, kAck}}}, {}, {0ms}, 99ms, kAcked, said},
        {"ACK in the second window", {{{150ms, kAck}}}, {}, two, 150ms, kAcked, said},
        {"silent", {}, {}, kSixSends, 600ms, kNone, silence},
        {"refusal: not repeated", {nak}, {}, {0ms}, 5ms, kRefused, refused},
        {"NAK first, more after", {{{5ms, kNak + kAck}}}, {}, {0ms}, 5ms, kRefused, refused},
        {"a stale ACK is no answer", {}, {{0ms, kAck}}, kSixSends, 600ms, kNone, silence},
        {"a damaged stale byte", {ack}, {damaged(0ms, "x")}, {0ms}, 5ms, kAcked, said},
        {"damaged ACK", {{damaged(5ms, kAck)}, ack}, {}, two, 105ms, kAcked, said},
        {"damaged NAK", {{damaged(5ms, kNak)}, ack}, {}, two, 105ms, kAcked, said},
        {"NAK beside damage", {nak_beside_damage, nak}, {}, two, 105ms, kRefused, refused},
        {"rest of a damaged answer", {damaged_then_rest}, {}, kSixSends, 600ms, kNone, silence},
        {"every answer damaged", all_damaged, {}, kSixSends, 600ms, kNone, silence},
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

TEST(Exchanges, ReadAnswersWindowsAndRepeats) {
    const std::string full = bytes("06 02 04 00 10 27 00 00 0D");  // item 43: 10000
    const std::string echo = "22B1000D";
    const std::vector<std::string> said = {echo}, silence = {echo, kNoReaction};
    const Times three = {0ms, 300ms, 600ms};
    const Variant none{std::string()}, counter("10000");
    const Answer reply = {{5ms, full}};
    // Taken as data, the damaged byte would read 10000 + 65536 * x.
    const Answer damaged_reply = {
        {2ms, bytes("06 02 04 00 10 27")}, damaged(2ms, "\x01"), {2ms, bytes("00 00 0D")}};
    const Answer in_pieces = {{10ms, bytes("06 02 04")}, {150ms, bytes("00 10 27 00 00 0D")}};
    const Answer stale = {{0ms, bytes("06 02 01 00 07 0D")}};
    const std::vector<Answer> nak(3, Answer{{5ms, kNak}}), all_damaged(3, damaged_reply);
    const Exchange cases[] = {
        // The wait after the request is not cut short.
        {"reply in the window", {reply}, {}, {0ms}, 100ms, kReply, said, counter},
        {"silent", {}, {}, three, 900ms, kNone, silence, none},
        {"in two pieces", {in_pieces}, {}, {0ms}, 200ms, kReply, said, counter},
        {"stale bytes first", {reply}, stale, {0ms}, 100ms, kReply, said, counter},
        {"a lone NAK is no reply", nak, {}, {0ms, 200ms, 400ms}, 600ms, kNone, silence, none},
        {"damaged data", {damaged_reply, reply}, {}, {0ms, 300ms}, 400ms, kReply, said, counter},
        {"every reply damaged", all_damaged, {}, three, 900ms, kNone, silence, none},
        {"fast: ends when complete", {reply}, {}, {0ms}, 5ms, kReply, said, counter, true},
        {"fast: damaged as silent", all_damaged, {}, three, 900ms, kNone, silence, none, true},
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
    EXPECT_THAT(port->frames(),
                ElementsAre(bytes("02 00 00 01 21 0D"), bytes("02 00 00 01 21 0D")));
}

}  // namespace
}  // namespace quarn7::testing
