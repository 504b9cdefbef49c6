// The simulated unit without a line: how it cuts bytes into frames and what it answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/switch_commands.h"
#include "protocol/write_codes.h"
#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "sim/frame_reader.h"
#include "sim/responder.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using quarn7::testing::bytes;
using quarn7::testing::hex;
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
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"02 01 00 00 26 00 0D", true},           {"02 00 00 00 60 00 0D", true},
        {"02 00 00 01 2B 0D", true},              {"02 04 00 02 23 0D 0D 00 00 0D", true},
        {"02 00 00 02 A1 0D", true},              {"02 04 00 02 A1 41 00 42 00 0D", true},
        {"02 01 00 02 91 2D 31 0D", false},       {"02 02 00 02 A1 41 00 42 00 0D", false},
        {"02 02 00 02 A1 41 00 0D 00 0D", false},  // a CR character where the count ends
        {"02 04 00 02 21 05 06 0D", false},
    };
    // clang-format on
    for (const auto& [sent, at_once] : cases) {
        SCOPED_TRACE(sent);
        FrameReader reader(nanoseconds(0));
        reader.feed(bytes(sent), t0);
        if (at_once) {
            EXPECT_THAT(frames_at(reader, t0), ElementsAre(sent));
            EXPECT_FALSE(reader.idle_deadline());
        } else {
            EXPECT_EQ(reader.idle_deadline(), t0 + gap);
            EXPECT_THAT(frames_at(reader, t0 + gap - nanoseconds(1)), IsEmpty());
            EXPECT_THAT(frames_at(reader, t0 + gap), ElementsAre(sent));
        }
    }
    // A byte within the gap keeps the frame open.
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("02 02 00 02 A1 41 00 0D"), t0);
    reader.feed(bytes("00 0D"), t0 + gap / 2);
    EXPECT_THAT(frames_at(reader, t0 + gap), IsEmpty());
    EXPECT_THAT(frames_at(reader, t0 + gap / 2 + gap),
                ElementsAre("02 02 00 02 A1 41 00 0D 00 0D"));
}

TEST(FrameReader, Noise) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("FF 0D 00 02 01 00 00 26 00 0D 02 00 00 01 2B 0D"), t0);
    EXPECT_THAT(frames_at(reader, t0), ElementsAre("02 01 00 00 26 00 0D", "02 00 00 01 2B 0D"));
    EXPECT_EQ(hex(reader.take_noise()), "FF 0D 00");

    // Junk right behind a frame: the frame still ends at its CR once the line is idle.
    reader.feed(bytes("02 01 00 00 26 00 0D 41 42"), t0);
    EXPECT_THAT(frames_at(reader, t0), IsEmpty());
    EXPECT_THAT(frames_at(reader, t0 + gap), ElementsAre("02 01 00 00 26 00 0D"));
    EXPECT_EQ(hex(reader.take_noise()), "41 42");

    // A start the line leaves unfinished.
    reader.feed(bytes("02 01 00"), t0);
    EXPECT_THAT(frames_at(reader, t0 + gap), IsEmpty());
    EXPECT_EQ(hex(reader.take_noise()), "02 01 00");
    EXPECT_FALSE(reader.idle_deadline());
}

// On a paced line a frame has arrived when its last byte would have, one byte time after another.
TEST(FrameReader, PacedArrival) {
    const nanoseconds byte = line_time(1);
    FrameReader reader(byte);
    reader.feed(bytes("02 01 00 00 26 00 0D"), t0);
    reader.feed(bytes("02 00 00 01 2B 0D"), t0 + byte);  // queues behind the first
    const auto first = reader.next(t0);
    const auto second = reader.next(t0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->received, t0 + 7 * byte);
    EXPECT_EQ(second->received, t0 + 13 * byte);

    const auto later = t0 + std::chrono::seconds(1);
    reader.feed(bytes("02 01 00 02 91 2D 31 0D"), later);
    EXPECT_EQ(reader.idle_deadline(), later + 8 * byte + gap);
}

TEST(LineTime, NineteenThousandTwoHundredBaudElevenBits) {
    EXPECT_EQ(line_time(1920), std::chrono::milliseconds(1100));
    EXPECT_EQ(line_time(7), nanoseconds(4'010'416));
}

// ---------------------------------------------------------------------------------------------

const std::string kAck(1, wire::ACK);
const std::string kNak(1, wire::NAK);

std::string do_frame(int code, int lengte_laag) {
    return wire::do_command_frame({static_cast<std::int16_t>(code), wire::DoCommand,
                                   static_cast<std::int16_t>(lengte_laag), 0});
}

std::string write_frame(int code, const std::string& hex_data) {
    const std::string data = bytes(hex_data);
    return wire::frame(
        {static_cast<std::int16_t>(code), wire::Write, static_cast<std::int16_t>(data.size()), 0},
        data);
}

std::string read_frame(int item) {
    return wire::read_request({static_cast<std::int16_t>(item), wire::Read, 0, 0});
}

bool is_switch_row(int code, int lengte_laag) {
    for (const SwitchCommand& row : kSwitchCommands) {
        if (row.code == code && row.lengte_laag == lengte_laag) return true;
    }
    return false;
}

// What a host makes of the unit's reply to `item`.
std::string read_back(Responder& unit, int item) {
    const std::string reply = unit.answer(read_frame(item));
    if (reply.size() < wire::kReplyMinimum) return hex(reply);
    const auto decoded = decode_reply(item, wire::reply_data(reply), wire::reply_length(reply));
    return decoded ? decoded->to_text() : "echo";
}

void run(Responder& unit, std::string_view member) {
    const SwitchCommand* row = find_switch_command(member);
    ASSERT_NE(row, nullptr) << member;
    ASSERT_EQ(unit.answer(do_frame(row->code, row->lengte_laag)), kAck) << member;
}

// ACK exactly for the host's switch rows and write codes; every item the host decodes gets as many
// bytes as its rule reads, any other item a NAK.
TEST(Responder, AnswersExactlyTheHostsCommands) {
    Responder unit, written;  // the writes change what items read
    for (int code = 0; code < 256; ++code) {
        for (int length : {0, 1}) {
            EXPECT_EQ(unit.answer(do_frame(code, length)),
                      is_switch_row(code, length) ? kAck : kNak)
                << code << " " << length;
        }
        EXPECT_EQ(written.answer(write_frame(code, "01")), find_write_code(code) ? kAck : kNak)
            << code;
        const ReadItem* row = find_read_item(code);
        const std::string reply = unit.answer(read_frame(code));
        if (row == nullptr) {
            EXPECT_EQ(reply, kNak) << code;
            continue;
        }
        ASSERT_EQ(unit.item_data(code)->size(), row->data_bytes) << code;
        EXPECT_EQ(reply, wire::read_reply(*unit.item_data(code)));
        EXPECT_NE(read_back(unit, code), "echo") << code;
    }
    EXPECT_EQ(unit.answer(bytes("02 01 01 00 26 00 0D")), kNak);  // lengte_hoog set
    EXPECT_EQ(unit.answer(bytes("02 01 00 03 26 00 0D")), kNak);  // no such kind
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
        {37, "02", 58, "cm"},
        {63, "07", 34, "7"},
        {74, "02", 35, "2"},
        {75, "02", 38, "NTSC"},
        {201, "03 00", 52, "Logo: 3"},
    };
    for (const auto& c : cases) {
        Responder unit;
        ASSERT_EQ(unit.answer(write_frame(c.code, c.data)), kAck);
        EXPECT_EQ(read_back(unit, c.item), c.text) << c.code << ": " << c.data;
    }
}

TEST(Responder, OnOffPairs) {
    for (const SwitchCommand& row : kSwitchCommands) {
        if (!row.member.ends_with("_aan")) continue;
        Responder unit;
        run(unit, row.member);
        EXPECT_TRUE(unit.state().switches.at(row.code)) << row.member;
        run(unit, std::string(row.member.substr(0, row.member.size() - 4)) + "_uit");
        EXPECT_FALSE(unit.state().switches.at(row.code)) << row.member;
    }
    const std::pair<const char*, int> shown_in[] = {{"tekst_schaduw", 36},
                                                    {"Venster_schaduw", 37},
                                                    {"overlay", 39},
                                                    {"automatisch_EEx_logo", 54}};
    for (const auto& [element, item] : shown_in) {
        Responder unit;
        run(unit, std::string(element) + "_aan");
        EXPECT_EQ(read_back(unit, item), "Aan") << element;
        run(unit, std::string(element) + "_uit");
        EXPECT_EQ(read_back(unit, item), "Uit") << element;
    }
}

TEST(Responder, ZeroCommands) {
    Responder unit;
    for (const auto& [code, data] : std::vector<std::pair<int, const char*>>{
             {35, "10 27 00 00"}, {39, "10 27 00 00"}, {33, "E8 03"}, {36, "03 02 01"}}) {
        ASSERT_EQ(unit.answer(write_frame(code, data)), kAck);
    }
    unit.set_tilt(300, 65535);
    EXPECT_EQ(read_back(unit, 45), " 300");
    EXPECT_EQ(read_back(unit, 46), " 65535");
    const UnitState& s = unit.state();
    EXPECT_EQ(s.photo_counter, 1000);
    EXPECT_EQ(s.video_seconds, 3723);

    const std::pair<const char*, std::int64_t (*)(const UnitState&)> cases[] = {
        {"Teller1_0", [](const UnitState& u) { return u.counter1; }},
        {"Teller2_0", [](const UnitState& u) { return u.counter2; }},
        {"Fototeller_0", [](const UnitState& u) { return std::int64_t{u.photo_counter}; }},
        {"Videoteller_0", [](const UnitState& u) { return std::int64_t{u.video_seconds}; }},
        {"Digitale_tilt_0", [](const UnitState& u) { return std::int64_t{u.digital_tilt}; }},
        {"analoge_tilt_0", [](const UnitState& u) { return std::int64_t{u.analogue_tilt}; }},
    };
    for (const auto& [member, value] : cases) {
        EXPECT_NE(value(unit.state()), 0) << member;
        run(unit, member);
        EXPECT_EQ(value(unit.state()), 0) << member;
    }
}

TEST(Responder, ResetsCountAndFactoryDefaultRestores) {
    Responder unit;
    run(unit, "reset_DE");
    run(unit, "reset_DE");
    run(unit, "overlay_uit");
    ASSERT_EQ(unit.answer(write_frame(75, "02")), kAck);
    ASSERT_EQ(unit.answer(write_frame(35, "01 00 00 00")), kAck);
    run(unit, "VYX_fabrieksdefault");
    UnitState expected = factory_state();
    expected.resets = 2;
    EXPECT_EQ(describe(unit.state()), describe(expected));
}

TEST(Responder, TextWindowsColourSettings) {
    Responder unit;
    ASSERT_EQ(unit.answer(write_frame(160, "05")), kAck);
    // Character count in the length words, two bytes a character in the data.
    ASSERT_EQ(unit.answer(bytes("02 02 00 02 A1 41 00 E9 00 0D")), kAck);
    ASSERT_EQ(unit.answer(write_frame(162, "01")), kAck);  // the next text goes there
    ASSERT_EQ(unit.answer(write_frame(161, "53 00 59 00")), kAck);
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}, {5, "A\xE9"}}));
    run(unit, "schermwissen");  // all but the system text
    EXPECT_EQ(unit.state().text_fields, (std::map<int, std::string>{{1, "SY"}}));

    ASSERT_EQ(unit.answer(write_frame(130, "00 00 69 01")), kAck);
    EXPECT_EQ(unit.state().windows.at(130), std::make_pair(0, 361));
    ASSERT_EQ(unit.answer(bytes("02 01 00 02 91 2D 31 0D")), kAck);  // colour "-1"
    EXPECT_EQ(unit.state().colour, "-1");
    ASSERT_EQ(unit.answer(write_frame(70, "80")), kAck);
    EXPECT_EQ(unit.state().settings.at(70), "\x80");
}

TEST(Responder, ItemDataOverridesTheState) {
    Responder unit;
    unit.set_item_data(45, bytes("2C 01"));
    unit.set_item_data(42, "xyz");
    EXPECT_EQ(read_back(unit, 45), " 300");
    EXPECT_EQ(unit.answer(read_frame(42)), wire::read_reply("xyz"));
}

}  // namespace
}  // namespace quarn7::sim
