// What crosses the line, in one place.
//
//   frame:   STX  lengte_laag  lengte_hoog  commando_soort  commando_code  data...  CR
//            data: do-command  one byte, commando_soort again     (7 bytes in all)
//                  write       the bytes of schrijf_data          (6 + n bytes)
//                  read        none; lengte_laag forced to 0      (6 bytes)
//   answer to a do-command or write: ACK, or NAK when the unit refuses the frame
//   read reply: two leading bytes, data length low, high, the data, one trailing byte
//
// Each command word goes out as one byte; a word outside 0..255 cannot be framed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarn7::wire {

// The unit's line: 19200 baud, odd parity, 8 data bits, 1 stop bit, no handshaking.
inline constexpr const char* kLineSettings = "19200,o,8,1";
inline constexpr int kHandshaking = 0;

inline constexpr char STX = 0x02;
inline constexpr char CR = 0x0D;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

enum Kind : std::int16_t { DoCommand = 0, Read = 1, Write = 2 };

// Positions in a frame (from 0).
inline constexpr std::size_t kLengthLowAt = 1;
inline constexpr std::size_t kLengthHighAt = 2;
inline constexpr std::size_t kKindAt = 3;
inline constexpr std::size_t kCodeAt = 4;
inline constexpr std::size_t kDataAt = 5;
inline constexpr std::size_t kShortestFrame = 6;  // a read request: no data

struct CommandWords {
    std::int16_t commando_code = 0;
    std::int16_t commando_soort = 0;
    std::int16_t lengte_laag = 0;
    std::int16_t lengte_hoog = 0;
};

// Every frame: STX, the length words, kind, code, `data`, CR. InvalidArgument (and nothing built)
// when a command word lies outside 0..255.
std::string frame(const CommandWords& words, std::string_view data);
std::string do_command_frame(const CommandWords& words);  // data: commando_soort once more
std::string read_request(const CommandWords& words);      // no data

// Diagnostic echoes: "2", the words in field order as upper-case hex without leading zeros, then
// "D". The write echo puts the data characters before the "D" and shows zero bytes as blanks; the
// read echo puts the hex of the text table's entry 0 there. Echoes are host text (UTF-8).
std::string do_command_echo(const CommandWords& words);
std::string write_echo(const CommandWords& words, std::string_view data);
std::string read_echo(const CommandWords& words, std::string_view data_tabel_0);

// Read replies.
inline constexpr std::size_t kReplyMinimum = 5;  // shorter is no reply
inline constexpr std::size_t kReplyLengthLowAt = 2;
inline constexpr std::size_t kReplyLengthHighAt = 3;
inline constexpr std::size_t kReplyDataOffset = 4;
inline constexpr std::size_t kReplyDataCap = 100;
// The announced data length (bytes 3 and 4), capped at kReplyDataCap; precondition: at least
// kReplyMinimum bytes.
std::size_t reply_length(std::string_view reply);
// The data bytes the reply carries: at most the announced length, fewer when it was cut short.
std::string_view reply_data(std::string_view reply);
// A whole reply: two leading bytes, length, data, trailing byte (the simulated unit's answer).
std::string read_reply(std::string_view data);

}  // namespace quarn7::wire
