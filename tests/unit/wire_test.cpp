#include "link/wire.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using testing::bytes;
using testing::hex;

TEST(Frame, DoCommandRepeatsTheKindAsItsData) {
    const wire::CommandWords meterteller_aan{38, 0, 1, 0};
    EXPECT_EQ(hex(wire::do_command_frame(meterteller_aan)), "02 01 00 00 26 00 0D");
    EXPECT_EQ(wire::do_command_echo(meterteller_aan), "226010D");
}

TEST(Frame, WriteCarriesTheDataAsItStands) {
    const wire::CommandWords words{33, 2, 4, 0};
    EXPECT_EQ(hex(wire::frame(words, bytes("D1 D2"))), "02 04 00 02 21 D1 D2 0D");
    EXPECT_EQ(hex(wire::frame({161, 2, 0, 0}, "")), "02 00 00 02 A1 0D");
}

TEST(Frame, WriteEchoShowsZeroBytesAsBlanks) {
    const wire::CommandWords words{161, 2, 4, 0};
    EXPECT_EQ(wire::write_echo(words, std::string("A\0B\0", 4)), "2A1240A B D");
}

TEST(Frame, ReadRequestAndEcho) {
    const wire::CommandWords afstand{43, 1, 0, 0};
    EXPECT_EQ(hex(wire::read_request(afstand)), "02 00 00 01 2B 0D");
    EXPECT_EQ(wire::read_echo(afstand, ""), "22B1000D");
}

TEST(Frame, WordsOutsideOneByteCannotBeFramed) {
    for (const wire::CommandWords words : {wire::CommandWords{256, 0, 1, 0},
                                           wire::CommandWords{38, 0, 300, 0},
                                           wire::CommandWords{38, 0, 1, -1},
                                           wire::CommandWords{38, 3000, 1, 0}}) {
        try {
            wire::do_command_frame(words);
            ADD_FAILURE() << "framed a word outside 0..255";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidArgument);
        }
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

TEST(Reply, UnitReplyRoundTrips) {
    const std::string reply = wire::read_reply(bytes("10 27 00 00"));
    EXPECT_EQ(hex(reply), "06 02 04 00 10 27 00 00 0D");
    EXPECT_EQ(hex(wire::reply_data(reply)), "10 27 00 00");
}

}  // namespace
}  // namespace quarn7
