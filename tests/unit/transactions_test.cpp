// Frames, repeats, reply windows and messages of the three transactions, on a fake clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/controller_fixture.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Answer;
using testing::bytes;
using testing::hex;

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');
// voeruit1 on a fresh controller: every command word is 0.
const char* const kZeroFrame = "02 00 00 00 00 00 0D";

std::vector<Clock::duration> send_times(const testing::ScriptedPort& port) {
    std::vector<Clock::duration> out;
    for (const auto& w : port.writes()) out.push_back(w.at.time_since_epoch());
    return out;
}

class DoCommand : public testing::ControllerTest {
protected:
    void SetUp() override { open(); }
};

TEST_F(DoCommand, AcknowledgedWithinTheWindowSendsOnceAndSaysNothing) {
    port->answer({{30ms, kAck}});
    de->voeruit1();
    ASSERT_EQ(port->writes().size(), 1u);
    EXPECT_EQ(hex(port->writes()[0].bytes), kZeroFrame);
    EXPECT_THAT(messages, IsEmpty());
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    EXPECT_EQ(hex(de->state().commando_frame), kZeroFrame);
}

TEST_F(DoCommand, SilentUnitGetsSixSendsAHundredMillisecondsApart) {
    diagnostics_on();
    de->voeruit1();
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 100ms, 200ms, 300ms, 400ms, 500ms));
    EXPECT_EQ(clock.elapsed(), 600ms);
    for (const auto& frame : port->frames()) EXPECT_EQ(hex(frame), kZeroFrame);
    EXPECT_THAT(messages, ElementsAre("20000D", "No reaction from DE"));
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
}

TEST_F(DoCommand, AnswerJustInsideTheWindowCountsAndJustOutsideRepeats) {
    port->answer({{99ms, kAck}});
    de->voeruit1();
    EXPECT_EQ(port->writes().size(), 1u);

    port->answer({{150ms, kAck}});  // arrives in the second send's window
    de->voeruit1();
    EXPECT_EQ(port->writes().size(), 3u);
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
}

TEST_F(DoCommand, RefusalIsNotRepeatedAndReportedOnlyWithDiagnostics) {
    port->answer({{5ms, kNak}});
    de->voeruit1();
    EXPECT_EQ(port->writes().size(), 1u);
    EXPECT_THAT(messages, IsEmpty());
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);

    diagnostics_on();
    port->answer({{5ms, kNak}});
    de->voeruit1();
    EXPECT_THAT(messages, ElementsAre("20000D", "Command not accepted"));
}

TEST_F(DoCommand, ARefusalFollowedByMoreBytesIsStillARefusal) {
    diagnostics_on();
    port->answer({{5ms, kNak + kAck}});
    de->voeruit1();
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);
    EXPECT_THAT(messages, ElementsAre("20000D", "Command not accepted"));
}

TEST_F(DoCommand, StaleBytesAreNotTakenForTheAnswer) {
    port->inject(kAck);  // a late answer to an earlier exchange
    de->voeruit1();
    EXPECT_EQ(port->writes().size(), 6u);
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
}

TEST_F(DoCommand, ClosedPortSendsNothingAndShowsOnlyTheEcho) {
    close();
    diagnostics_on();
    de->voeruit1();
    EXPECT_THAT(port->writes(), IsEmpty());
    EXPECT_THAT(messages, ElementsAre("20000D"));
    EXPECT_EQ(de->last_outcome(), Outcome::PortClosed);
    EXPECT_EQ(clock.elapsed(), 0ms);
}

TEST_F(DoCommand, LostDeviceRaisesAndTheControllerWorksAfterReopening) {
    port->answer_with([this](const std::string&) {
        port->lose_device();
        return Answer{};
    });
    try {
        de->voeruit1();
        FAIL() << "no error for a lost device";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::DeviceLost);
    }
    EXPECT_FALSE(port->PortOpen());
    EXPECT_LE(clock.elapsed(), 600ms);

    port->answer_with(nullptr);
    open();
    port->answer({{1ms, kAck}});
    de->voeruit1();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
}

TEST(DoCommandWithoutPort, RaisesObjectNotSet) {
    clsvyx7 de;
    try {
        de.voeruit1();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::ObjectNotSet);
    }
}

class Read : public testing::ControllerTest {
protected:
    void SetUp() override { open(); }

    Variant read_item(int item) {
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_data(tekst);
        return tekst;
    }
};

TEST_F(Read, ReplyWithinTheWindowIsDecoded) {
    port->answer({{5ms, bytes("06 02 04 00 10 27 00 00 0D")}});
    EXPECT_EQ(read_item(43), Variant("10000"));
    EXPECT_EQ(hex(port->writes().at(0).bytes), "02 00 00 01 2B 0D");
    EXPECT_EQ(port->writes().size(), 1u);
    EXPECT_EQ(clock.elapsed(), 100ms);  // the wait after the request is not cut short
    EXPECT_EQ(de->state().lengte_laag, 4);
    EXPECT_EQ(de->state().lengte_hoog, 0);
    EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
}

TEST_F(Read, SilentUnitGetsThreeRequestsThenAnEmptyText) {
    diagnostics_on();
    EXPECT_EQ(read_item(43), Variant(std::string()));
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 300ms, 600ms));
    EXPECT_EQ(clock.elapsed(), 900ms);
    // The echo is shown once, before the first request.
    EXPECT_THAT(messages, ElementsAre("22B1000D", "No reaction from DE"));
}

TEST_F(Read, ClosedPortLeavesTheEcho) {
    close();
    EXPECT_EQ(read_item(43), Variant("22B1000D"));
    EXPECT_THAT(port->writes(), IsEmpty());
}

TEST_F(Read, ReplyInTwoPiecesIsJoinedWithinTheSecondWait) {
    port->answer({{10ms, bytes("06 02 01")}, {150ms, bytes("00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_EQ(port->writes().size(), 1u);
}

TEST_F(Read, FiveBytesAnnouncingFourAreAReplyShortOfData) {
    port->answer({{5ms, bytes("06 02 04 00 10")}});
    try {
        read_item(43);
        FAIL() << "decoded a counter from one byte";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::InvalidArgument);
    }
    EXPECT_EQ(port->writes().size(), 1u);
}

TEST_F(Read, StaleBytesDoNotStartTheReply) {
    port->inject(bytes("06 02 01 00 07 0D"));
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
}

TEST_F(Read, FailedSendIsAlwaysReportedAndTheAttemptGoesOn) {
    port->fail_writes(1);
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_THAT(messages, ElementsAre("Fout bij sturen commando naar DE"));
    EXPECT_EQ(port->writes().size(), 1u);
    EXPECT_EQ(clock.elapsed(), 300ms + 100ms);
}

TEST_F(Read, FastReadsEndTheFirstWaitOnceTheReplyIsComplete) {
    de->set_fast_reads(true);
    port->answer({{5ms, bytes("06 02 04 00 10 27 00 00 0D")}});
    EXPECT_EQ(read_item(43), Variant("10000"));
    EXPECT_EQ(clock.elapsed(), 5ms);

    // Incomplete: the wait after the request runs its full length.
    const auto before = clock.elapsed();
    port->answer({{5ms, bytes("06 02 04 00 10 27")}});
    EXPECT_THROW(read_item(43), Error);
    EXPECT_EQ(clock.elapsed() - before, 100ms);
}

TEST_F(Read, CallsFromTheEventPumpAreRefusedAndNeverTakeTheReply) {
    std::vector<ErrorNumber> refused;
    int pumped = 0;
    de->set_event_pump([&] {
        ++pumped;
        try {
            de->voeruit1();
        } catch (const Error& e) {
            refused.push_back(e.number());
        }
    });
    port->answer({});  // the first request is lost
    port->answer({{5ms, bytes("06 02 01 00 C8 0D")}});
    EXPECT_EQ(read_item(33), Variant(std::int16_t{200}));
    EXPECT_GT(pumped, 0);
    EXPECT_EQ(refused.size(), static_cast<std::size_t>(pumped));
    EXPECT_EQ(refused.front(), ErrorNumber::CallRefused);
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
}  // namespace quarn7
