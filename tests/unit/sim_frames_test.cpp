// The simulated unit without a line: how it cuts bytes into frames and what it answers.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "sim/frame_reader.h"
#include "sim/responder.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace quarn7::testing;
using std::chrono::nanoseconds;
const FrameReader::time_point t0{std::chrono::seconds(100)};

// A frame whose length words fit its bytes ends at once, any other (a colour announcing one byte,
// text counting characters, fewer data bytes than announced) at its CR once the line is idle.
TEST(FrameReader, EndsFramesAsTheirLengthWordsSayAndPacesArrival) {
    const std::pair<const char*, bool> cases[] = {
        {"02 01 00 00 26 00 0D", true},           {"02 00 00 01 2B 0D", true},
        {"02 04 00 02 23 0D 0D 00 00 0D", true},  {"02 01 00 02 91 2D 31 0D", false},
        {"02 02 00 02 A1 41 00 0D 00 0D", false}, {"02 04 00 02 21 05 06 0D", false},
        {"02 01 00 02 A1 0D", false}};
    const auto next = [](FrameReader& r, auto now) {
        return hex(r.next(now).value_or(ReceivedFrame{}).bytes);
    };
    const auto idle = t0 + FrameReader::idle_gap();
    for (const auto& [sent, at_once] : cases) {
        FrameReader reader(nanoseconds(0));
        reader.feed(bytes(sent), t0);
        EXPECT_EQ(next(reader, at_once ? t0 : idle - nanoseconds(1)), at_once ? sent : "");
        EXPECT_EQ(next(reader, idle), at_once ? "" : sent);
    }
    // The simulated unit's options take bytes as hex pairs, a separator only between pairs.
    EXPECT_EQ(parse_hex("0a:FF 06"), std::optional<std::string>("\x0A\xFF\x06"));
    EXPECT_EQ(parse_hex("0 6").value_or("none") + parse_hex("060").value_or("none"), "nonenone");
    // Noise around frames is set aside; a start the line leaves unfinished becomes noise.
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("FF 0D 02 01 00 00 26 00 0D 41 02 01 00"), t0);
    EXPECT_EQ(next(reader, idle) + next(reader, idle), "02 01 00 00 26 00 0D");  // and no more
    EXPECT_EQ(hex(reader.take_noise()), "FF 0D 41 02 01 00");
    // On a paced line a frame has arrived when its last byte would have, a byte time apart.
    EXPECT_EQ(line_time(1920), std::chrono::milliseconds(1100));  // 19200 baud, 11 bits
    FrameReader paced(line_time(1));
    paced.feed(bytes("02 01 00 00 26 00 0D"), t0);
    paced.feed(bytes("02 00 00 01 2B 0D"), t0 + line_time(1));  // queues behind the first
    EXPECT_EQ(paced.next(t0).value().received, t0 + 7 * line_time(1));
    EXPECT_EQ(paced.next(t0).value().received, t0 + 13 * line_time(1));
}

std::string write_frame(int code, const std::string& data) {
    const std::string words{'\x02', char((data.size() + 1) / 3), 0, 2, char(code)};
    return hex(words + bytes(data) + "\r");
}
// Sends each step, a member's name or a frame in hex, expecting ACK.
void acked(Responder& unit, std::initializer_list<std::string> steps) {
    for (const std::string& step : steps) {
        const auto* row = documented_switch(step);
        ASSERT_EQ(hex(unit.answer(bytes(row ? switch_frame(*row) : step))), "06") << step;
    }
}

// ACK exactly for documented switches and writes, replies sized as documented, NAK for the rest.
TEST(Responder, AnswersExactlyTheDocumentedCommands) {
    std::map<std::string, std::size_t> answers;  // their sizes: ACK 1 byte, a read reply 5 and data
    for (const auto& row : kDocumentedSwitches) answers[switch_frame(row)] = 1;
    for (const int code : kDocumentedWriteCodes) answers[write_frame(code, "01")] = 1;
    for (const auto& row : kDocumentedItems) answers[read_request(row.item)] = 5 + row.data_bytes;
    Responder unit;
    for (int code = 0; code < 256; ++code) {
        for (const std::string& frame : {switch_frame({"", code, 0}), switch_frame({"", code, 1}),
                                         write_frame(code, "01"), read_request(code)}) {
            const std::string answer = unit.answer(bytes(frame));
            EXPECT_EQ(answer.size(), answers.contains(frame) ? answers[frame] : 1) << frame;
            EXPECT_EQ(hex(answer.substr(0, 1)), answers.contains(frame) ? "06" : "15") << frame;
        }
    }
    EXPECT_EQ(hex(unit.answer(bytes("02 01 01 00 26 00 0D"))), "15");  // lengte_hoog set
}

// What writes and switches leave to read; text fields, windows, colour, settings till a reset.
TEST(Responder, WritesAndSwitchesReadBackAndStay) {
    // clang-format off
    const std::tuple<std::string, int, std::string> cases[] = {
        {write_frame(35, "7B 00 00 00"), 43, "7B 00 00 00"}, {write_frame(63, "07"), 34, "07"},
        {write_frame(39, "60 AE 0A 00"), 44, "60 AE"}, {write_frame(37, "02"), 58, "02"},
        {write_frame(32, "05 0E 03 0C 1A"), 41, "05 0E 03 0C 1A"},
        {write_frame(74, "02"), 35, "02"}, {write_frame(75, "02"), 38, "00"},  // 38: NTSC is 0
        {write_frame(201, "03 00"), 52, "03"}, {"overlay_uit", 39, "00"},
        {"tekst_schaduw_aan", 36, "01"}, {"Venster_schaduw_aan", 37, "01"},
        {"automatisch_EEx_logo_aan", 54, "01"}};
    // clang-format on
    for (const auto& [step, item, data] : cases) {
        Responder unit;
        acked(unit, {step});
        EXPECT_EQ(hex(unit.answer(bytes(read_request(item)))), hex(reply_with(bytes(data))))
            << step;
    }
    Responder unit;
    // Text: the character count in the length words, two bytes a character in the data; field 1
    // until another is chosen.
    acked(unit, {"02 01 00 02 A1 5A 00 0D", write_frame(160, "05"),
                 "02 02 00 02 A1 41 00 E9 00 0D", write_frame(162, "01"),
                 write_frame(161, "53 00 59 00"), write_frame(130, "00 00 69 01"),
                 write_frame(70, "80"), "02 01 00 02 91 2D 31 0D"});  // the last: colour "-1"
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}, {5, "A\xE9"}}));
    acked(unit, {"schermwissen"});  // all but the system text
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}}));
    EXPECT_EQ(
        std::tuple(unit.state().windows.at(130), unit.state().colour, unit.state().settings.at(70)),
        std::tuple(std::pair(0, 361), "-1", "\x80"));
    acked(unit, {"VYX_fabrieksdefault"});
    EXPECT_EQ(describe(unit.state()), describe(factory_state()));
}

TEST(Responder, SwitchesAndZeroCommands) {
    for (const auto& row : kDocumentedSwitches) {
        if (!row.member.ends_with("_aan")) continue;
        Responder unit;
        acked(unit, {std::string(row.member)});
        const bool on = unit.state().switches.at(row.code);
        acked(unit, {std::string(row.member.substr(0, row.member.size() - 4)) + "_uit"});
        EXPECT_TRUE(on && !unit.state().switches.at(row.code)) << row.member;
    }
    Responder unit;
    unit.set_tilt(300, 65535);
    acked(unit, {write_frame(35, "FF FF FF 01"), write_frame(39, "10 27 00 00"),
                 write_frame(33, "E8 03"), write_frame(36, "03 02 01")});
    EXPECT_EQ(hex(unit.answer(bytes(read_request(46)))), "06 02 02 00 FF FF 0D");  // analogue tilt
    const UnitState& s = unit.state();  // the fourth counter byte weighs 2^32
    EXPECT_EQ(std::tuple(s.counter1, s.counter2, s.photo_counter, s.video_seconds),
              std::tuple(4311744511, 10000, 1000, 3723));
    acked(unit, {"Teller1_0", "Teller2_0", "Fototeller_0", "Videoteller_0", "Digitale_tilt_0",
                 "analoge_tilt_0", "reset_DE", "reset_DE"});
    UnitState expected = factory_state();
    expected.resets = 2;
    EXPECT_EQ(describe(s), describe(expected));  // counters and tilts at 0, as in a new unit
}

}  // namespace
}  // namespace quarn7::sim
