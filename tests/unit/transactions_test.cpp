// Repeats, reply windows, refusals, damaged answers and messages of the transactions, on a fake
// clock: a do-command (the write transaction shares its sending) and a read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Times = std::vector<Clock::duration>;
using Strings = std::vector<std::string>;

const std::string kAck(1, '\x06'), kNak(1, '\x15'), kNoReaction = "No reaction from DE";
const Times kSixSends = {0ms, 100ms, 200ms, 300ms, 400ms, 500ms};
constexpr auto kAcked = Outcome::Acknowledged, kRefused = Outcome::Refused;
constexpr auto kNone = Outcome::NoReaction, kReply = Outcome::ReplyReceived;
constexpr auto kDamaged = Outcome::Damaged;

// One call against a scripted unit; `messages` are shown with diagnostics on, none when off.
struct Exchange {
    const char* what;
    std::vector<Answer> answers;  // to the first, second, ... frame sent
    Answer before = {};           // arriving from the call's start, before any frame
    Times sends = {};
    Clock::duration took = {};
    Outcome outcome = Outcome::NoReaction;
    Strings messages = {};
    Variant read = {};  // a read's result
    bool fast = false;  // fast reads
};

// Every case with diagnostics off and on; every frame sent, repeats too, must be `frame`.
template <std::size_t N, class Call>
void run(const Exchange (&cases)[N], const std::string& frame, Call call) {
    for (const Exchange& x : cases) {
        for (const bool diagnostics : {false, true}) {
            SCOPED_TRACE(std::string(x.what) + (diagnostics ? ", diagnostics on" : ""));
            Controller c;
            c.open();
            if (diagnostics) c.diagnostics_on();
            c.de->set_fast_reads(x.fast);
            for (const Answer& a : x.answers) c.port->answer(a);
            for (const Chunk& b : x.before) c.port->arrive(b.after, b.bytes, b.damaged);
            call(c, x);
            EXPECT_THAT(c.send_times(), ElementsAreArray(x.sends));
            EXPECT_EQ(c.clock.elapsed(), x.took);
            EXPECT_EQ(c.de->last_outcome(), x.outcome);
            EXPECT_THAT(c.messages, ElementsAreArray(diagnostics ? x.messages : Strings{}));
            for (const auto& sent : c.port->frames()) EXPECT_EQ(hex(sent), frame);
        }
    }
}

TEST(Exchanges, DoCommandAnswersWindowsAndRepeats) {
    const std::string echo = "226010D", meter_aan = "02 01 00 00 26 00 0D";
    const Strings said{echo}, refused{echo, "Command not accepted"}, silence{echo, kNoReaction};
    const Answer ack = {{5ms, kAck}}, nak = {{5ms, kNak}};
    // The unit heard the frame: no repeat (a toggle would run twice), no message.
    const Answer nak_beside_damage = {{5ms, kNak}, damaged(5ms, "x")};
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
        {"damaged ACK", {{damaged(5ms, kAck)}, ack}, {}, {0ms}, 100ms, kDamaged, said},
        {"damaged NAK", {{damaged(5ms, kNak)}, ack}, {}, {0ms}, 100ms, kDamaged, said},
        {"NAK beside damage", {nak_beside_damage, nak}, {}, {0ms}, 100ms, kDamaged, said},
    };
    run(cases, meter_aan, [&](Controller& c, const Exchange&) {
        c.de->meterteller_aan();
        EXPECT_EQ(hex(c.de->state().commando_frame), meter_aan);
    });
    EXPECT_EQ(outcome_name(kDamaged), "damaged");  // as hosts and the command line show it
}

TEST(Exchanges, ReadAnswersWindowsAndRepeats) {
    const std::string full = bytes("06 02 04 00 10 27 00 00 0D"), echo = "22B1000D";  // 10000
    const Strings said{echo}, silence{echo, kNoReaction};
    const Times three = {0ms, 300ms, 600ms};
    const Variant none{std::string()}, counter("10000");
    const Answer reply = {{5ms, full}}, stale = {{0ms, bytes("06 02 01 00 07 0D")}};
    // Taken as data, the damaged byte would read 10000 + 65536 * x.
    const Answer damaged_reply = {
        {2ms, bytes("06 02 04 00 10 27")}, damaged(2ms, "\x01"), {2ms, bytes("00 00 0D")}};
    const Answer in_pieces = {{10ms, bytes("06 02 04")}, {150ms, bytes("00 10 27 00 00 0D")}};
    const std::vector<Answer> nak(3, Answer{{5ms, kNak}}), all_damaged(3, damaged_reply);
    const Exchange cases[] = {
        {"reply: the window is waited out", {reply}, {}, {0ms}, 100ms, kReply, said, counter},
        {"silent", {}, {}, three, 900ms, kNone, silence, none},
        {"in two pieces", {in_pieces}, {}, {0ms}, 200ms, kReply, said, counter},
        {"stale bytes first", {reply}, stale, {0ms}, 100ms, kReply, said, counter},
        {"a lone NAK is no reply", nak, {}, {0ms, 200ms, 400ms}, 600ms, kNone, silence, none},
        {"damaged data", {damaged_reply, reply}, {}, {0ms, 300ms}, 400ms, kReply, said, counter},
        {"every reply damaged", all_damaged, {}, three, 900ms, kNone, silence, none},
        {"fast: ends when complete", {reply}, {}, {0ms}, 5ms, kReply, said, counter, true},
        {"fast: damaged as silent", all_damaged, {}, three, 900ms, kNone, silence, none, true},
    };
    run(cases, "02 00 00 01 2B 0D",
        [](Controller& c, const Exchange& x) { EXPECT_EQ(c.read_item(43), x.read); });
}

class Transaction : public ControllerTest {
protected:
    void SetUp() override { open(); }
};

TEST_F(Transaction, ClosedPortSendsNothingAndLeavesOnlyTheEcho) {
    close();
    diagnostics_on();
    de->voeruit1();  // a fresh controller's words are all 0
    EXPECT_THAT(messages, ElementsAre("20000D"));
    EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
    EXPECT_EQ(read_item(43), Variant("22B1000D"));
    EXPECT_TRUE(port->writes().empty());
    EXPECT_EQ(clock.elapsed(), 0ms);
}

TEST_F(Transaction, LostDeviceRaisesAndTheControllerWorksAfterReopening) {
    port->answer_with([this](const std::string&) {
        port->lose_device();
        return Answer{};
    });
    EXPECT_EQ(error_of([&] { de->meterteller_aan(); }), ErrorNumber::DeviceLost);
    EXPECT_FALSE(port->PortOpen());
    port->answer_with(answer_every_frame());
    open();
    de->meterteller_aan();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
}

TEST_F(Transaction, FiveBytesAnnouncingFourAreAReplyShortOfData) {
    for (const bool fast : {false, true}) {
        de->set_fast_reads(fast);
        const auto start = clock.elapsed();
        port->answer({{5ms, bytes("06 02 04 00 10")}});
        EXPECT_EQ(error_of([&] { read_item(43); }), ErrorNumber::InvalidArgument) << fast;
        EXPECT_EQ(clock.elapsed() - start, 100ms) << fast;
    }
    EXPECT_EQ(port->writes().size(), 2u);
}

TEST_F(Transaction, AFastReadOfAReplyWithoutDataEndsOnceItIsIn) {
    de->set_fast_reads(true);
    port->answer({{5ms, bytes("06 02 00 00 0D")}});
    EXPECT_EQ(read_item(42), Variant("22A1000D"));  // item 42 keeps the echo
    EXPECT_EQ(clock.elapsed(), 5ms);
}

TEST_F(Transaction, FailedSendInAReadIsAlwaysReportedAfterTheWaitAndTheAttemptGoesOn) {
    de->set_message_box([&](const std::string& text) {  // when it shows: after the wait
        messages.push_back(text + " at " + std::to_string(clock.elapsed() / 1ms) + " ms");
    });
    de->set_event_pump([] {});
    port->fail_writes(1);
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_THAT(messages, ElementsAre("Fout bij sturen commando naar DE at 100 ms"));
    EXPECT_EQ(port->writes().size(), 1u);
    EXPECT_EQ(clock.elapsed(), 300ms + 100ms);
}

TEST_F(Transaction, CallsFromTheEventPumpAreRefusedAndNeverTakeTheReply) {
    std::vector<std::optional<ErrorNumber>> refused;
    de->set_event_pump([&] { refused.push_back(error_of([&] { de->voeruit1(); })); });
    port->answer({});  // the first request is lost
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    ASSERT_FALSE(refused.empty());
    EXPECT_THAT(refused, Each(std::optional(ErrorNumber::CallRefused)));
    const std::string request = bytes("02 00 00 01 21 0D");  // both sends carry the read's own
    EXPECT_THAT(port->frames(), ElementsAre(request, request));
}

}  // namespace
}  // namespace quarn7::testing
