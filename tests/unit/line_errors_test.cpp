// Bytes damaged on the line: how the marks a tty puts in are taken out, and how the transactions
// treat an answer that held such a byte (as none: the frame goes out again).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/serial_port.h"
#include "support/controller_fixture.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using testing::Answer;
using testing::bytes;
using testing::damaged;
using ::testing::ElementsAre;
using testing::hex;

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');

struct MarkCase {
    const char* marked;
    const char* bytes;
    std::uint64_t damaged;
    std::size_t used;
};

TEST(UnmarkLineErrors, TakesOutMarksAndUndoublesFf) {
    const MarkCase cases[] = {
        {"", "", 0, 0},
        {"06 02 01 00 C8 0D", "06 02 01 00 C8 0D", 0, 6},
        {"FF FF", "FF", 0, 2},
        {"FF FF FF FF 41", "FF FF 41", 0, 5},
        {"06 FF 00 C8 0D", "06 0D", 1, 5},  // a parity or framing error on C8
        {"FF 00 00", "", 1, 3},             // a break
        {"FF 00 FF 41", "41", 1, 4},        // a damaged FF is not doubled
        {"FF 00 41 FF 00 42 FF FF", "FF", 2, 8},
        {"41 FF", "41", 0, 1},  // the read ended inside a mark
        {"41 FF 00", "41", 0, 1},
        {"FF 41", "FF 41", 0, 2},  // no mark: taken as it stands
    };
    for (const auto& c : cases) {
        const UnmarkedInput out = unmark_line_errors(bytes(c.marked));
        EXPECT_EQ(hex(out.bytes), c.bytes) << c.marked;
        EXPECT_EQ(out.damaged, c.damaged) << c.marked;
        EXPECT_EQ(out.used, c.used) << c.marked;
    }
}

TEST(UnmarkLineErrors, AMarkCutByTheReadIsCompletedByTheNext) {
    const std::string marked = bytes("06 FF 00 C8 FF FF 0D");
    for (std::size_t cut = 0; cut <= marked.size(); ++cut) {
        const UnmarkedInput first = unmark_line_errors(marked.substr(0, cut));
        const UnmarkedInput rest =
            unmark_line_errors(marked.substr(first.used, cut - first.used) + marked.substr(cut));
        EXPECT_EQ(hex(first.bytes + rest.bytes), "06 FF 0D") << cut;
        EXPECT_EQ(first.damaged + rest.damaged, 1u) << cut;
    }
}

std::vector<Clock::duration> send_times(const testing::ScriptedPort& port) {
    std::vector<Clock::duration> out;
    for (const auto& w : port.writes()) out.push_back(w.at.time_since_epoch());
    return out;
}

class DamagedAnswer : public testing::ControllerTest {
  protected:
    void SetUp() override {
        open();
        diagnostics_on();
    }
    Variant read_item(int item) {
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_data(tekst);
        return tekst;
    }
};

TEST_F(DamagedAnswer, DamagedAcknowledgeOrRefusalIsNoAnswer) {
    for (const std::string& answer : {kAck, kNak}) {
        port->answer({damaged(5ms, answer)});
        port->answer({{5ms, kAck}});
        const auto start = clock.elapsed();
        de->meterteller_aan();
        EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged) << hex(answer);
        EXPECT_EQ(port->writes().back().at.time_since_epoch() - start, 100ms) << hex(answer);
    }
    EXPECT_EQ(port->writes().size(), 4u);
    EXPECT_EQ(port->line_errors(), 2u);
    for (const auto& frame : port->frames()) EXPECT_EQ(hex(frame), "02 01 00 00 26 00 0D");
}

TEST_F(DamagedAnswer, GoodBytesBesideADamagedOneDoNotCount) {
    port->answer({{5ms, kNak}, damaged(5ms, "x")});
    port->answer({{5ms, kNak}});
    de->meterteller_aan();
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 100ms));
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);
}

TEST_F(DamagedAnswer, TheRestOfADamagedAnswerIsNotTakenForTheRepeatsAnswer) {
    port->answer({damaged(5ms, kAck), {5ms, bytes("0D")}, {60ms, kAck}});
    de->meterteller_aan();
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 100ms, 200ms, 300ms, 400ms, 500ms));
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
}

TEST_F(DamagedAnswer, EveryAnswerDamagedEndsAsSilenceWould) {
    port->answer_with([](const std::string&) { return Answer{damaged(5ms, "\x06")}; });
    Variant colour(std::int16_t{1});
    de->overlay_wit_zwart_wissel(colour);
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 100ms, 200ms, 300ms, 400ms, 500ms));
    EXPECT_EQ(clock.elapsed(), 600ms);
    EXPECT_THAT(messages, ElementsAre("2912101D", "No reaction from DE"));
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
}

TEST_F(DamagedAnswer, ReadWithADamagedDataByteAsksAgain) {
    // The counter 10000 with a damaged third byte: taken as data it would read 10000 + 65536 * x.
    port->answer({{5ms, bytes("06 02 04 00 10 27")}, damaged(5ms, "\x01"), {5ms, bytes("00 0D")}});
    port->answer({{5ms, bytes("06 02 04 00 10 27 00 00 0D")}});
    EXPECT_EQ(read_item(43), Variant("10000"));
    EXPECT_THAT(send_times(*port), ElementsAre(0ms, 300ms));
    EXPECT_EQ(de->last_outcome(), Outcome::ReplyReceived);
}

TEST_F(DamagedAnswer, DamagedReadsTakeAsLongAsSilentOnes) {
    for (const bool fast : {false, true}) {
        de->set_fast_reads(fast);
        messages.clear();
        port->answer_with([](const std::string&) {
            return Answer{{2ms, bytes("06 02 01 00")}, damaged(2ms, "\xC8"), {2ms, bytes("0D")}};
        });
        const auto start = clock.elapsed();
        const auto sent = port->writes().size();
        EXPECT_EQ(read_item(33), Variant(std::string())) << fast;
        EXPECT_EQ(clock.elapsed() - start, 900ms) << fast;
        EXPECT_EQ(port->writes().size() - sent, 3u) << fast;
        EXPECT_EQ(port->writes().back().at.time_since_epoch() - start, 600ms) << fast;
        EXPECT_THAT(messages, ElementsAre("2211000D", "No reaction from DE")) << fast;
    }
}

TEST_F(DamagedAnswer, ADamagedStaleByteDoesNotSpoilTheNextCall) {
    port->answer({{5ms, kAck}, damaged(50ms, "x")});  // after the answer, still in the buffer
    de->meterteller_aan();
    clock.advance(1s);
    port->answer({{5ms, kAck}});
    de->meterteller_uit();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    EXPECT_EQ(port->writes().size(), 2u);
    EXPECT_EQ(port->line_errors(), 1u);
}

}  // namespace
}  // namespace quarn7
