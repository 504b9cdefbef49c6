// The simulated unit without a line: how it cuts bytes into frames and what it answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "link/read_items.h"
#include "link/wire.h"
#include "sim/frame_reader.h"
#include "sim/responder.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace quarn7::testing;
using std::chrono::nanoseconds;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const FrameReader::time_point t0{std::chrono::seconds(100)};
const nanoseconds gap = FrameReader::idle_gap();

std::vector<std::string> frames_at(FrameReader& reader, FrameReader::time_point now) {
    std::vector<std::string> out;
    while (const auto frame = reader.next(now)) out.push_back(hex(frame->bytes));
    return out;
}

// A frame whose length words fit its bytes ends at once; otherwise (a colour announcing one byte,
// text counting characters, fewer data bytes than announced) at its CR once the line is idle.
TEST(FrameReader, LengthWordsSayWhetherAFrameEndsAtOnceOrWhenTheLineIsIdle) {
    const std::pair<const char*, bool> cases[] = {
        {"02 01 00 00 26 00 0D", true},      {"02 00 00 01 2B 0D", true},
        {"02 04 00 02 23 0D 0D 00 00 0D", true}, {"02 00 00 02 A1 0D", true},
        {"02 01 00 02 91 2D 31 0D", false},  {"02 02 00 02 A1 41 00 0D 00 0D", false},
        {"02 04 00 02 21 05 06 0D", false},
    };
    for (const auto& [sent, at_once] : cases) {
        SCOPED_TRACE(sent);
        FrameReader reader(nanoseconds(0));
        reader.feed(bytes(sent), t0);
        const auto ends = at_once ? t0 : t0 + gap;
        if (!at_once) EXPECT_THAT(frames_at(reader, ends - nanoseconds(1)), IsEmpty());
        EXPECT_THAT(frames_at(reader, ends), ElementsAre(sent));
    }
    // Noise around frames is set aside; a start the line leaves unfinished becomes noise.
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("FF 0D 02 01 00 00 26 00 0D 41 02 01 00"), t0);
    EXPECT_THAT(frames_at(reader, t0 + gap), ElementsAre("02 01 00 00 26 00 0D"));
    EXPECT_EQ(hex(reader.take_noise()), "FF 0D 41 02 01 00");
}

// On a paced line a frame has arrived when its last byte would have, one byte time after another.
TEST(FrameReader, PacedArrival) {
    EXPECT_EQ(line_time(1920), std::chrono::milliseconds(1100));  // 19200 baud, 11 bits
    const nanoseconds byte = line_time(1);
    FrameReader reader(byte);
    reader.feed(bytes("02 01 00 00 26 00 0D"), t0);
    reader.feed(bytes("02 00 00 01 2B 0D"), t0 + byte);  // queues behind the first
    const auto first = reader.next(t0);
    const auto second = reader.next(t0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->received, t0 + 7 * byte);
    EXPECT_EQ(second->received, t0 + 13 * byte);
}

// ---------------------------------------------------------------------------------------------

std::string write_frame(int code, const std::string& hex_data) {
    const std::string data = bytes(hex_data);
    return std::string{'\x02', static_cast<char>(data.size()), 0, 2, static_cast<char>(code)} +
           data + "\r";
}

// What a host makes of the unit's reply to `item`.
std::string read_back(Responder& unit, int item) {
    const std::string reply = unit.answer(bytes(read_request(item)));
    if (reply.size() < 5) return hex(reply);
    const auto decoded = decode_reply(item, wire::reply_data(reply), wire::reply_length(reply));
    return decoded ? decoded->to_text() : "echo";
}

void run(Responder& unit, std::string_view member) {
    ASSERT_EQ(hex(unit.answer(bytes(switch_frame(*documented_switch(member))))), "06") << member;
}

// ACK exactly for the documented switch frames and write codes; a reply of the documented length
// for each documented item, NAK for every other.
TEST(Responder, AnswersExactlyTheDocumentedCommands) {
    std::set<std::string> switches, writes;
    for (const auto& row : kDocumentedSwitches) switches.insert(switch_frame(row));
    for (const int code : kDocumentedWriteCodes) writes.insert(hex(write_frame(code, "01")));
    std::map<int, int> items;
    for (const auto& row : kDocumentedItems) items[row.item] = row.data_bytes;
    Responder unit, written;
    for (int code = 0; code < 256; ++code) {
        for (const int length : {0, 1}) {
            const std::string frame = switch_frame({"", code, length});
            EXPECT_EQ(hex(unit.answer(bytes(frame))), switches.contains(frame) ? "06" : "15") << frame;
        }
        const std::string write = write_frame(code, "01");
        EXPECT_EQ(hex(written.answer(write)), writes.contains(hex(write)) ? "06" : "15") << code;
        const std::string reply = unit.answer(bytes(read_request(code)));
        if (!items.contains(code)) {
            EXPECT_EQ(hex(reply), "15") << code;
            continue;
        }
        EXPECT_EQ(reply, reply_with(*unit.item_data(code)));
        EXPECT_EQ(unit.item_data(code)->size(), static_cast<std::size_t>(items[code])) << code;
    }
    EXPECT_EQ(hex(unit.answer(bytes("02 01 01 00 26 00 0D"))), "15");  // lengte_hoog set
}

TEST(Responder, WritesReadBack) {
    const struct {
        int code;
        const char* data;
        int item;
        std::string text;
    } cases[] = {
        {35, "7B 00 00 00", 43, "123"},
        {35, "FF FF FF 01", 43, "4311744511"},  // the fourth byte weighs 2^32 both ways
        {39, "60 AE 0A 00", 44, "44640"},       // 70000: the low 16 bits
        {32, "05 0E 03 0C 1A", 41, " 14: 5  3/ 12/ 26"},
        {32, "05 0E 03 0C 1A", 40, "\x05:\x0E \x03/\x0C/\x1A"},
        {37, "02", 58, "cm"}, {63, "07", 34, "7"}, {74, "02", 35, "2"},
        {75, "02", 38, "NTSC"}, {201, "03 00", 52, "Logo: 3"},
    };
    for (const auto& c : cases) {
        Responder unit;
        ASSERT_EQ(hex(unit.answer(write_frame(c.code, c.data))), "06");
        EXPECT_EQ(read_back(unit, c.item), c.text) << c.code << ": " << c.data;
    }
    Responder unit;
    unit.set_item_data(45, bytes("2C 01"));
    EXPECT_EQ(read_back(unit, 45), " 300");
}

TEST(Responder, SwitchesZeroCommandsAndFactoryDefault) {
    for (const auto& row : kDocumentedSwitches) {
        if (!row.member.ends_with("_aan")) continue;
        Responder unit;
        run(unit, row.member);
        EXPECT_TRUE(unit.state().switches.at(row.code)) << row.member;
        run(unit, std::string(row.member.substr(0, row.member.size() - 4)) + "_uit");
        EXPECT_FALSE(unit.state().switches.at(row.code)) << row.member;
    }
    for (const auto& [element, item] : {std::pair{"tekst_schaduw", 36}, {"Venster_schaduw", 37},
                                        {"overlay", 39}, {"automatisch_EEx_logo", 54}}) {
        Responder unit;
        run(unit, std::string(element) + "_uit");
        EXPECT_EQ(read_back(unit, item), "Uit") << element;
        run(unit, std::string(element) + "_aan");
        EXPECT_EQ(read_back(unit, item), "Aan") << element;
    }

    Responder unit;
    for (const auto& [code, data] : {std::pair{35, "10 27 00 00"}, {39, "10 27 00 00"},
                                     {33, "E8 03"}, {36, "03 02 01"}, {75, "02"}}) {
        ASSERT_EQ(hex(unit.answer(write_frame(code, data))), "06");
    }
    unit.set_tilt(300, 65535);
    EXPECT_EQ(read_back(unit, 46), " 65535");
    EXPECT_EQ(unit.state().counter1, 10000);
    for (const char* member : {"Teller1_0", "Teller2_0", "Fototeller_0", "Videoteller_0",
                               "Digitale_tilt_0", "analoge_tilt_0", "reset_DE", "reset_DE"}) {
        run(unit, member);
    }
    const UnitState& s = unit.state();
    EXPECT_EQ(std::vector({s.counter1, s.counter2, std::int64_t{s.photo_counter},
                           std::int64_t{s.video_seconds}, std::int64_t{s.digital_tilt},
                           std::int64_t{s.analogue_tilt}}),
              std::vector<std::int64_t>(6, 0));
    run(unit, "VYX_fabrieksdefault");
    UnitState expected = factory_state();
    expected.resets = 2;
    EXPECT_EQ(describe(unit.state()), describe(expected));
}

TEST(Responder, TextWindowsColourSettings) {
    Responder unit;
    ASSERT_EQ(hex(unit.answer(write_frame(160, "05"))), "06");
    // Character count in the length words, two bytes a character in the data.
    ASSERT_EQ(hex(unit.answer(bytes("02 02 00 02 A1 41 00 E9 00 0D"))), "06");
    ASSERT_EQ(hex(unit.answer(write_frame(162, "01"))), "06");  // the next text goes there
    ASSERT_EQ(hex(unit.answer(write_frame(161, "53 00 59 00"))), "06");
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}, {5, "A\xE9"}}));
    run(unit, "schermwissen");  // all but the system text
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}}));

    ASSERT_EQ(hex(unit.answer(write_frame(130, "00 00 69 01"))), "06");
    EXPECT_EQ(unit.state().windows.at(130), std::make_pair(0, 361));
    ASSERT_EQ(hex(unit.answer(bytes("02 01 00 02 91 2D 31 0D"))), "06");  // colour "-1"
    EXPECT_EQ(unit.state().colour, "-1");
    ASSERT_EQ(hex(unit.answer(write_frame(70, "80"))), "06");
    EXPECT_EQ(unit.state().settings.at(70), "\x80");
}

}  // namespace
}  // namespace quarn7::sim
