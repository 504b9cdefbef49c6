// The simulated unit without a line: how it cuts bytes into frames and what it answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/switch_commands.h"
#include "commands/write_codes.h"
#include "link/read_items.h"
#include "link/wire.h"
#include "sim/frame_reader.h"
#include "sim/responder.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using quarn7::testing::bytes;
using quarn7::testing::hex;
using std::chrono::nanoseconds;
using time_point = FrameReader::time_point;

const time_point t0{std::chrono::seconds(100)};

// ---------------------------------------------------------------------------------------------
// Frame reader

std::vector<std::string> frames_at(FrameReader& reader, time_point now) {
    std::vector<std::string> out;
    while (const auto frame = reader.next(now)) out.push_back(hex(frame->bytes));
    return out;
}

struct LengthCase {
    const char* what;
    const char* sent;
};

class FrameByLength : public ::testing::TestWithParam<LengthCase> {};

// Frames whose length words agree with their data end at their last byte, without waiting.
TEST_P(FrameByLength, EndsAtOnce) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes(GetParam().sent), t0);
    EXPECT_THAT(frames_at(reader, t0), ::testing::ElementsAre(GetParam().sent));
    EXPECT_EQ(reader.take_noise(), "");
    EXPECT_FALSE(reader.idle_deadline());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FrameByLength,
    ::testing::Values(LengthCase{"do-command", "02 01 00 00 26 00 0D"},
                      LengthCase{"do-command, length 0", "02 00 00 00 60 00 0D"},
                      LengthCase{"read", "02 00 00 01 2B 0D"},
                      LengthCase{"write", "02 04 00 02 23 7B 00 00 00 0D"},
                      LengthCase{"write with CR in its data", "02 04 00 02 23 0D 0D 00 00 0D"},
                      LengthCase{"empty text", "02 00 00 02 A1 0D"},
                      LengthCase{"text, two bytes a character", "02 04 00 02 A1 41 00 42 00 0D"}),
    [](const ::testing::TestParamInfo<LengthCase>& param_info) {
        std::string name = param_info.param.what;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

// Writes whose length words do not match their data end at the CR after which the line is idle.
TEST(FrameReader, MismatchedWriteEndsWhenTheLineIsIdle) {
    const char* cases[] = {
        "02 01 00 02 91 2D 31 0D",        // colour "-1" announcing one byte
        "02 02 00 02 A1 41 00 42 00 0D",  // text counting characters
        "02 02 00 02 A1 41 00 0D 00 0D",  // ... with a CR character where the count ends
        "02 04 00 02 21 05 06 0D",        // fewer data bytes than announced
    };
    for (const char* sent : cases) {
        SCOPED_TRACE(sent);
        FrameReader reader(nanoseconds(0));
        reader.feed(bytes(sent), t0);
        EXPECT_THAT(frames_at(reader, t0), ::testing::IsEmpty());
        ASSERT_TRUE(reader.idle_deadline());
        EXPECT_EQ(*reader.idle_deadline(), t0 + FrameReader::idle_gap());
        EXPECT_THAT(frames_at(reader, t0 + FrameReader::idle_gap() - nanoseconds(1)),
                    ::testing::IsEmpty());
        EXPECT_THAT(frames_at(reader, t0 + FrameReader::idle_gap()), ::testing::ElementsAre(sent));
        EXPECT_EQ(reader.take_noise(), "");
    }
}

TEST(FrameReader, ByteWithinTheGapKeepsTheFrameOpen) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("02 02 00 02 A1 41 00 0D"), t0);
    const time_point later = t0 + FrameReader::idle_gap() / 2;
    reader.feed(bytes("00 0D"), later);
    EXPECT_THAT(frames_at(reader, t0 + FrameReader::idle_gap()), ::testing::IsEmpty());
    EXPECT_THAT(frames_at(reader, later + FrameReader::idle_gap()),
                ::testing::ElementsAre("02 02 00 02 A1 41 00 0D 00 0D"));
}

TEST(FrameReader, BytesBeforeStxAreNoise) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("FF 0D 00 02 01 00 00 26 00 0D"), t0);
    EXPECT_THAT(frames_at(reader, t0), ::testing::ElementsAre("02 01 00 00 26 00 0D"));
    EXPECT_EQ(hex(reader.take_noise()), "FF 0D 00");
    EXPECT_EQ(reader.take_noise(), "");
}

TEST(FrameReader, UnfinishedFrameBecomesNoiseOnceIdle) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("02 01 00"), t0);
    EXPECT_THAT(frames_at(reader, t0 + FrameReader::idle_gap()), ::testing::IsEmpty());
    EXPECT_EQ(hex(reader.take_noise()), "02 01 00");
    EXPECT_FALSE(reader.idle_deadline());
    reader.feed(bytes("02 00 00 01 2B 0D"), t0 + std::chrono::seconds(1));
    EXPECT_THAT(frames_at(reader, t0 + std::chrono::seconds(1)),
                ::testing::ElementsAre("02 00 00 01 2B 0D"));
}

TEST(FrameReader, CrInPlaceWithAFrameBehindIt) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("02 01 00 00 26 00 0D 02 00 00 01 2B 0D"), t0);
    EXPECT_THAT(frames_at(reader, t0),
                ::testing::ElementsAre("02 01 00 00 26 00 0D", "02 00 00 01 2B 0D"));
}

TEST(FrameReader, CrInPlaceWithJunkBehindItStillEndsTheFrameWhenIdle) {
    FrameReader reader(nanoseconds(0));
    reader.feed(bytes("02 01 00 00 26 00 0D 41 42"), t0);
    EXPECT_THAT(frames_at(reader, t0), ::testing::IsEmpty());
    EXPECT_THAT(frames_at(reader, t0 + FrameReader::idle_gap()),
                ::testing::ElementsAre("02 01 00 00 26 00 0D"));
    EXPECT_EQ(hex(reader.take_noise()), "41 42");
}

// On a paced line a frame has arrived when its last byte would have, one byte time after another.
TEST(FrameReader, PacedArrival) {
    const nanoseconds byte_time = line_time(1);
    FrameReader reader(byte_time);
    reader.feed(bytes("02 01 00 00 26 00 0D"), t0);
    const auto first = reader.next(t0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->received, t0 + 7 * byte_time);

    // Bytes read while the line is still busy queue behind it.
    reader.feed(bytes("02 00 00 01 2B 0D"), t0 + byte_time);
    const auto second = reader.next(t0 + byte_time);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->received, t0 + 13 * byte_time);

    reader.feed(bytes("02 01 00 02 91 2D 31 0D"), t0 + std::chrono::seconds(1));
    EXPECT_EQ(*reader.idle_deadline(),
              t0 + std::chrono::seconds(1) + 8 * byte_time + FrameReader::idle_gap());
}

TEST(LineTime, NineteenThousandTwoHundredBaudElevenBits) {
    EXPECT_EQ(line_time(0), nanoseconds(0));
    EXPECT_EQ(line_time(1920), std::chrono::milliseconds(1100));
    const std::chrono::duration<double, std::micro> seven = line_time(7);
    EXPECT_NEAR(seven.count(), 4010.4, 0.1);
}

// ---------------------------------------------------------------------------------------------
// Answers and state

const std::string kAck(1, wire::ACK);
const std::string kNak(1, wire::NAK);

std::string do_frame(int code, int lengte_laag) {
    return wire::do_command_frame({static_cast<std::int16_t>(code), wire::DoCommand,
                                   static_cast<std::int16_t>(lengte_laag), 0});
}

std::string write_frame(int code, std::string_view data) {
    return wire::frame({static_cast<std::int16_t>(code), wire::Write,
                        static_cast<std::int16_t>(data.size() & 0xFF),
                        static_cast<std::int16_t>(data.size() >> 8)},
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
    if (reply == kNak) return "NAK";
    EXPECT_GE(reply.size(), wire::kReplyMinimum);
    const auto decoded = decode_reply(item, wire::reply_data(reply), wire::reply_length(reply));
    return decoded ? decoded->to_text() : "echo";
}

void run_switch(Responder& unit, std::string_view member) {
    const SwitchCommand* row = find_switch_command(member);
    ASSERT_NE(row, nullptr) << member;
    ASSERT_EQ(unit.answer(do_frame(row->code, row->lengte_laag)), kAck) << member;
}

TEST(Responder, EverySwitchRowIsAcknowledgedAndTheOtherLengthRefused) {
    for (const SwitchCommand& row : kSwitchCommands) {
        SCOPED_TRACE(std::string(row.member));
        Responder unit;
        EXPECT_EQ(unit.answer(do_frame(row.code, row.lengte_laag)), kAck);
        const int other = 1 - row.lengte_laag;
        EXPECT_EQ(unit.answer(do_frame(row.code, other)),
                  is_switch_row(row.code, other) ? kAck : kNak);
    }
}

TEST(Responder, DoCommandsOutsideTheTableAreRefused) {
    Responder unit;
    for (int code = 0; code < 256; ++code) {
        if (!is_switch_row(code, 1)) {
            EXPECT_EQ(unit.answer(do_frame(code, 1)), kNak) << code;
        }
    }
    // lengte_hoog set: no row has it.
    EXPECT_EQ(unit.answer(bytes("02 01 01 00 26 00 0D")), kNak);
    EXPECT_EQ(unit.answer(bytes("02 01 00 03 26 00 0D")), kNak);  // no such kind
}

TEST(Responder, WritesAreAcknowledgedExactlyForTheTableCodes) {
    Responder unit;
    for (int code = 0; code < 256; ++code) {
        const WriteCode* row = find_write_code(code);
        const std::string data(row && row->value_bytes ? row->value_bytes : 1, '\1');
        EXPECT_EQ(unit.answer(write_frame(code, data)), row ? kAck : kNak) << code;
    }
}

// Every item the host decodes gets data of the size its rule reads, and the host can decode it.
TEST(Responder, EveryReadItemIsAnsweredWithItsDataSize) {
    Responder unit;
    for (const ReadItem& row : kReadItems) {
        SCOPED_TRACE(int{row.item});
        const std::string reply = unit.answer(read_frame(row.item));
        const auto data = unit.item_data(row.item);
        ASSERT_TRUE(data);
        EXPECT_EQ(data->size(), row.data_bytes);
        EXPECT_EQ(reply, wire::read_reply(*data));
        EXPECT_NE(read_back(unit, row.item), "echo");
    }
    for (int item = 0; item < 256; ++item) {
        if (find_read_item(item) == nullptr) {
            EXPECT_EQ(unit.answer(read_frame(item)), kNak) << item;
        }
    }
}

TEST(Responder, Defaults) {
    Responder unit;
    const struct {
        int item;
        const char* text;
    } cases[] = {
        {32, " 720x 576"},   {33, "20"},    {34, "1"},
        {35, "0"},           {36, "Uit"},   {37, "Uit"},
        {38, "PAL"},         {39, "Aan"},   {41, " 12: 0  1/ 1/ 24"},
        {43, "0"},           {44, "0"},     {45, " 0"},
        {50, " 1: 2: 3: 4"}, {51, "O:K:!"}, {52, "Geen Logo"},
        {54, "Uit"},         {58, "meter"}, {59, " 1: 2: 3"},
        {64, " 215"},
    };
    for (const auto& c : cases) EXPECT_EQ(read_back(unit, c.item), c.text) << c.item;
}

TEST(Responder, ValueWritesReadBack) {
    const struct {
        int code;
        const char* data;
        int item;
        std::string text;
    } cases[] = {
        {35, "7B 00 00 00", 43, "123"},
        {35, "FF FF FF 01", 43, "4311744511"},  // fourth byte weighs 2^32 both ways
        {39, "60 AE 0A 00", 44, "44640"},       // 70000: the low 16 bits
        {32, "05 0E 03 0C 1A", 41, " 14: 5  3/ 12/ 26"},
        {32, "05 0E 03 0C 1A", 40, "\x05:\x0E \x03/\x0C/\x1A"},
        {37, "02", 58, "cm"},
        {37, "03", 58, "ft"},
        {63, "07", 34, "7"},
        {74, "02", 35, "2"},
        {75, "02", 38, "NTSC"},
        {75, "01", 38, "PAL"},
        {201, "03 00", 52, "Logo: 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        Responder unit;
        ASSERT_EQ(unit.answer(write_frame(c.code, bytes(c.data))), kAck);
        EXPECT_EQ(read_back(unit, c.item), c.text);
    }
}

TEST(Responder, SwitchPairsShowInTheirItems) {
    const struct {
        const char* on;
        const char* off;
        int item;
    } cases[] = {
        {"tekst_schaduw_aan", "tekst_schaduw_uit", 36},
        {"Venster_schaduw_aan", "Venster_schaduw_uit", 37},
        {"overlay_aan", "overlay_uit", 39},
        {"automatisch_EEx_logo_aan", "automatisch_EEx_logo_uit", 54},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on);
        Responder unit;
        run_switch(unit, c.on);
        EXPECT_EQ(read_back(unit, c.item), "Aan");
        run_switch(unit, c.off);
        EXPECT_EQ(read_back(unit, c.item), "Uit");
    }
}

TEST(Responder, EveryOnOffPairSwitchesOneElement) {
    for (const SwitchCommand& row : kSwitchCommands) {
        if (!row.member.ends_with("_aan")) continue;
        SCOPED_TRACE(std::string(row.member));
        const std::string off = std::string(row.member.substr(0, row.member.size() - 4)) + "_uit";
        Responder unit;
        run_switch(unit, row.member);
        EXPECT_TRUE(unit.state().switches.at(row.code));
        run_switch(unit, off);
        EXPECT_FALSE(unit.state().switches.at(row.code));
    }
}

TEST(Responder, ZeroCommands) {
    Responder unit;
    ASSERT_EQ(unit.answer(write_frame(35, bytes("10 27 00 00"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(39, bytes("10 27 00 00"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(33, bytes("E8 03"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(36, bytes("03 02 01"))), kAck);
    unit.set_tilt(1234, 65535);
    EXPECT_EQ(unit.state().counter1, 10000);
    EXPECT_EQ(unit.state().counter2, 10000);
    EXPECT_EQ(unit.state().photo_counter, 1000);
    EXPECT_EQ(unit.state().video_seconds, 3723);
    EXPECT_EQ(read_back(unit, 45), " 1234");
    EXPECT_EQ(read_back(unit, 46), " 65535");

    const struct {
        const char* member;
        std::int64_t (*value)(const UnitState&);
    } cases[] = {
        {"Teller1_0", [](const UnitState& s) { return s.counter1; }},
        {"Teller2_0", [](const UnitState& s) { return s.counter2; }},
        {"Fototeller_0", [](const UnitState& s) { return std::int64_t{s.photo_counter}; }},
        {"Videoteller_0", [](const UnitState& s) { return std::int64_t{s.video_seconds}; }},
        {"Digitale_tilt_0", [](const UnitState& s) { return std::int64_t{s.digital_tilt}; }},
        {"analoge_tilt_0", [](const UnitState& s) { return std::int64_t{s.analogue_tilt}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        EXPECT_NE(c.value(unit.state()), 0);
        run_switch(unit, c.member);
        EXPECT_EQ(c.value(unit.state()), 0);
    }
}

TEST(Responder, ResetsAreCountedAndFactoryDefaultsRestored) {
    Responder unit;
    run_switch(unit, "reset_DE");
    run_switch(unit, "reset_DE");
    run_switch(unit, "overlay_uit");
    ASSERT_EQ(unit.answer(write_frame(75, bytes("02"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(35, bytes("01 00 00 00"))), kAck);
    EXPECT_EQ(unit.state().resets, 2);

    run_switch(unit, "VYX_fabrieksdefault");
    UnitState expected = factory_state();
    expected.resets = 2;
    EXPECT_EQ(describe(unit.state()), describe(expected));
    EXPECT_EQ(read_back(unit, 38), "PAL");
    EXPECT_EQ(read_back(unit, 39), "Aan");
}

TEST(Responder, TextGoesIntoTheSelectedField) {
    Responder unit;
    ASSERT_EQ(unit.answer(write_frame(160, bytes("05"))), kAck);
    // Character count in the length words, two bytes a character in the data.
    ASSERT_EQ(unit.answer(bytes("02 02 00 02 A1 41 00 E9 00 0D")), kAck);
    EXPECT_EQ(unit.state().text_fields.at(5), "A\xE9");

    ASSERT_EQ(unit.answer(write_frame(162, bytes("01"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(161, bytes("53 00 59 00"))), kAck);
    EXPECT_EQ(unit.state().system_text_field, 1);
    EXPECT_EQ(unit.state().text_fields.at(1), "SY");

    run_switch(unit, "schermwissen");  // all but the system text
    EXPECT_EQ(unit.state().text_fields.count(5), 0u);
    EXPECT_EQ(unit.state().text_fields.at(1), "SY");
    run_switch(unit, "regel_wissen");
    EXPECT_TRUE(unit.state().text_fields.empty());
}

TEST(Responder, WindowsColourAndSettings) {
    Responder unit;
    ASSERT_EQ(unit.answer(write_frame(96, bytes("1E 00 2D 00"))), kAck);
    ASSERT_EQ(unit.answer(write_frame(130, bytes("00 00 69 01"))), kAck);
    EXPECT_EQ(unit.state().windows.at(96), std::make_pair(30, 45));
    EXPECT_EQ(unit.state().windows.at(130), std::make_pair(0, 361));

    ASSERT_EQ(unit.answer(bytes("02 01 00 02 91 2D 31 0D")), kAck);  // colour "-1"
    EXPECT_EQ(unit.state().colour, "-1");

    ASSERT_EQ(unit.answer(write_frame(70, bytes("80"))), kAck);
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
