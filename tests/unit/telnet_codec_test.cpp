// The Telnet / COM-port codec on literal bytes: escaping, line commands, what it takes apart.
#include "platform/telnet_codec.h"

#include <gtest/gtest.h>

#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

TEST(TelnetCodec, EscapesIacAndSpellsTheOpeningAndTheLineCommands) {
    EXPECT_EQ(hex(TelnetCodec::escape(bytes("02 FF 0D FF FF"))), "02 FF FF 0D FF FF FF FF");
    EXPECT_EQ(hex(TelnetCodec().start()), "FF FB 2C FF FB 00 FF FD 00");
    const auto line = [](const char* settings, int handshaking) {
        return hex(TelnetCodec::set_line(
            TelnetCodec::line_values(parse_line_settings(settings), handshaking)));
    };
    EXPECT_EQ(line("19200,o,8,1", 0),
              "FF FA 2C 01 00 00 4B 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 02 FF F0 "
              "FF FA 2C 04 01 FF F0 FF FA 2C 05 01 FF F0");
    EXPECT_EQ(line("255,s,7,2", 2),  // a value byte FF is doubled too
              "FF FA 2C 01 00 00 00 FF FF FF F0 FF FA 2C 02 07 FF F0 FF FA 2C 03 05 FF F0 "
              "FF FA 2C 04 02 FF F0 FF FA 2C 05 03 FF F0");
}

// What the reader makes of `input`: data | replies | agreed declined | each SET command's answer.
std::string decode(std::string_view input, bool byte_by_byte) {
    TelnetCodec codec;
    codec.start();
    std::string data;
    const std::size_t step = byte_by_byte ? 1 : input.size();
    for (std::size_t i = 0; i < input.size(); i += step)
        data += codec.decode(input.substr(i, step));
    std::string out = hex(data) + " | " + hex(codec.take_replies()) + " | " +
                      (codec.agreed() ? "+" : "-") + (codec.declined() ? " + |" : " - |");
    for (int i = 0; i < TelnetCodec::kLineCommands; ++i) {
        out += codec.answer(i) ? " " + std::to_string(*codec.answer(i)) : " -";
    }
    return out;
}

TEST(TelnetCodec, TakesServerBytesApartIntoDataAnswersAndReplies) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // what, input, decoded
        {"data, IAC IAC and a NOP", "02 FF FF 41 FF F1 0D", "02 FF 41 0D |  | - - | - - - - -"},
        {"ser2net's opening: other options declined once, ours taken, a notice ignored",
         "FF FB 03 FF FD 03 FF FB 01 FF FE 01 FF FD 00 FF FB 00 FF FD 2C FF FA 2C 6B 00 FF F0 "
         "FF FB 03 FF FD 03",
         " | FF FE 03 FF FC 03 FF FE 01 | + - | - - - - -"},
        {"ours taken, asked for again (no answer, no loop), binary taken back",
         "FF FD 00 FF FB 00 FF FD 2C FF FB 00 FF FD 2C FF FC 00", " | FF FE 00 | - + | - - - - -"},
        {"the COM-port option refused", "FF FE 2C 41", "41 |  | - + | - - - - -"},
        {"the line's answers, an IAC in a value, then a short one ignored",
         "FF FA 2C 65 00 00 00 FF FF FF F0 FF FA 2C 66 08 FF F0 FF FA 2C 67 02 FF F0 "
         "FF FA 2C 68 01 FF F0 FF FA 2C 69 01 FF F0 FF FA 2C 65 4B 00 FF F0",
         " |  | - - | 255 8 2 1 1"},
        {"a subnegotiation cut by a command", "FF FA 2C 66 08 FF FD 05 42",
         "42 | FF FC 05 | - - | - - - - -"},
    };
    for (const auto& [what, input, decoded] : cases) {
        EXPECT_EQ(decode(bytes(input), false), decoded) << what;
        EXPECT_EQ(decode(bytes(input), true), decoded) << what << ", byte by byte";
    }
}

}  // namespace
}  // namespace quarn7::testing
