// What goes on the wire beyond the frames the members' tests check, and what each read item's
// reply decodes to.
#include "protocol/frame.h"

#include <gtest/gtest.h>

#include "protocol/read_items.h"
#include "support/errors.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

TEST(Frame, WriteEchoShowsZeroBytesAsBlanks) {
    const wire::CommandWords words{161, 2, 4, 0};
    EXPECT_EQ(wire::write_echo(words, std::string("A\0B\0", 4)), "2A1240A B D");
}

TEST(Frame, WordsOutsideOneByteCannotBeFramed) {
    for (const wire::CommandWords words :
         {wire::CommandWords{256, 0, 1, 0}, wire::CommandWords{38, 0, 300, 0},
          wire::CommandWords{38, 0, 1, -1}, wire::CommandWords{38, 3000, 1, 0}}) {
        EXPECT_EQ(error_of([&] { wire::do_command_frame(words); }), ErrorNumber::InvalidArgument);
    }
}

TEST(Reply, LengthIsCappedAndDataIsWhatArrived) {
    const std::string announced_300 = bytes("06 02 2C 01") + std::string(300, 'x') + "\r";
    EXPECT_EQ(wire::reply_length(announced_300), 100u);
    EXPECT_EQ(wire::reply_data(announced_300).size(), 100u);

    const std::string cut_short = bytes("06 02 04 00 10");
    EXPECT_EQ(wire::reply_length(cut_short), 4u);
    EXPECT_EQ(hex(wire::reply_data(cut_short)), "10");
}

struct Decoding {
    int item;
    const char* data;  // hex
    Variant expected;
};

class DecodeReply : public ::testing::TestWithParam<Decoding> {};

TEST_P(DecodeReply, GivesTheItemsText) {
    const auto& d = GetParam();
    const std::string data = bytes(d.data);
    const auto result = decode_reply(d.item, data, data.size());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, d.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Items, DecodeReply,
    ::testing::Values(
        Decoding{32, "D0 02 40 02", Variant(" 720x 576")},
        Decoding{33, "C8", Variant(std::int16_t{200})},
        Decoding{35, "00", Variant(std::int16_t{0})}, Decoding{36, "00", Variant("Uit")},
        Decoding{54, "01", Variant("Aan")}, Decoding{38, "00", Variant("NTSC")},
        Decoding{38, "01", Variant("PAL")}, Decoding{40, "31 32 33 34 35", Variant("1:2 3/4/5")},
        Decoding{41, "0E 23 03 0C 18", Variant(" 35: 14  3/ 12/ 24")},
        Decoding{43, "10 27 00 00", Variant("10000")},
        Decoding{43, "00 00 00 01", Variant("4294967296")}, Decoding{44, "E8 03", Variant("1000")},
        Decoding{45, "2C 01", Variant(" 300")}, Decoding{64, "FF FF", Variant(" 65535")},
        Decoding{50, "01 02 03 04", Variant(" 1: 2: 3: 4")},
        Decoding{51, "4F 4B 21", Variant("O:K:!")}, Decoding{52, "00", Variant("Geen Logo")},
        Decoding{52, "03", Variant("Logo: 3")}, Decoding{58, "02", Variant("cm")},
        Decoding{58, "03", Variant("ft")}, Decoding{58, "04", Variant("meter")},
        Decoding{59, "01 00 02 00 03 00", Variant(" 1: 2: 3")}, Decoding{62, "07", Variant(" 7")},
        Decoding{51, "E9 B0 41", Variant("\xC3\xA9:\xC2\xB0:A")}));

TEST(DecodeReply, LeavesTheEchoForValuesWithoutMeaningAndUnlistedItems) {
    const std::pair<int, const char*> cases[] = {{36, "02"},    {38, "05"}, {58, "01"},
                                                 {42, "01 02"}, {47, "01"}, {31, "01"},
                                                 {65, "01 02"}, {200, "01"}};
    for (const auto& [item, data] : cases) {
        EXPECT_FALSE(decode_reply(item, bytes(data), bytes(data).size())) << "item " << item;
    }
    // A 16-bit item announced with a single byte keeps the echo.
    EXPECT_FALSE(decode_reply(45, bytes("2C"), 1).has_value());
}

TEST(DecodeReply, ResolutionBeyondSixteenBitsOverflows) {
    EXPECT_EQ(error_of([] { decode_reply(32, bytes("00 80 40 02"), 4); }), ErrorNumber::Overflow);
}

// Every rule either decodes a full reply or, one byte short, fails on the missing byte (rules on
// bytes) or gives a shorter text (rules on characters).
TEST(DecodeReply, EveryItemDecodesAFullReplyAndRefusesAShortOne) {
    for (const ReadItem& row : kReadItems) {
        const std::string full(row.data_bytes, '\x01');
        EXPECT_NO_THROW(decode_reply(row.item, full, full.size())) << "item " << int(row.item);
        const std::string shorter = full.substr(1);
        const bool by_characters =
            row.rule == ItemRule::DateChars || row.rule == ItemRule::StatusChars;
        if (by_characters) {
            const auto text = decode_reply(row.item, shorter, full.size());
            ASSERT_TRUE(text.has_value());
            EXPECT_LT(text->to_text().size(),
                      decode_reply(row.item, full, full.size())->to_text().size());
        } else {
            EXPECT_EQ(error_of([&] { decode_reply(row.item, shorter, full.size()); }),
                      ErrorNumber::InvalidArgument)
                << "item " << int(row.item);
        }
    }
}

}  // namespace
}  // namespace quarn7::testing
