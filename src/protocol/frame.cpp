#include "protocol/frame.h"

#include <algorithm>
#include <string>

#include "platform/codepage.h"
#include "platform/conversions.h"
#include "quarn7/error.h"

namespace quarn7::wire {
namespace {

char word_byte(std::int16_t word, const char* name) {
    if (word < 0 || word > 255) {
        throw Error(ErrorNumber::InvalidArgument,
                    std::string(name) + " " + std::to_string(word) + " does not fit in one byte");
    }
    return static_cast<char>(word);
}

std::string echo_head(const CommandWords& w) {
    return "2" + hex_form(static_cast<unsigned>(w.commando_code)) +
           hex_form(static_cast<unsigned>(w.commando_soort)) +
           hex_form(static_cast<unsigned>(w.lengte_laag)) +
           hex_form(static_cast<unsigned>(w.lengte_hoog));
}

}  // namespace

std::string frame(const CommandWords& w, std::string_view data) {
    const char laag = word_byte(w.lengte_laag, "lengte_laag");
    const char hoog = word_byte(w.lengte_hoog, "lengte_hoog");
    const char soort = word_byte(w.commando_soort, "commando_soort");
    const char code = word_byte(w.commando_code, "commando_code");
    std::string out;
    out.reserve(data.size() + 6);
    out += STX;
    out += laag;
    out += hoog;
    out += soort;
    out += code;
    out += data;
    out += CR;
    return out;
}

std::string do_command_frame(const CommandWords& w) {
    return frame(w, std::string(1, word_byte(w.commando_soort, "commando_soort")));
}

std::string read_request(const CommandWords& w) {
    return frame(w, {});
}

std::string do_command_echo(const CommandWords& w) {
    return echo_head(w) + "D";
}

std::string write_echo(const CommandWords& w, std::string_view data) {
    std::string shown(data);
    std::replace(shown.begin(), shown.end(), '\0', ' ');  // so the message box shows all of it
    return echo_head(w) + from_cp1252(shown) + "D";
}

std::string read_echo(const CommandWords& w, std::string_view data_tabel_0) {
    const auto entry = static_cast<unsigned>(to_int32(leading_number(data_tabel_0)));
    return echo_head(w) + hex_form(entry) + "D";
}

std::size_t reply_length(std::string_view reply) {
    const auto low = static_cast<unsigned char>(reply[kReplyLengthLowAt]);
    const auto high = static_cast<unsigned char>(reply[kReplyLengthHighAt]);
    return std::min<std::size_t>(high * 256u + low, kReplyDataCap);
}

std::string_view reply_data(std::string_view reply) {
    const auto received = reply.size() - kReplyDataOffset;
    return reply.substr(kReplyDataOffset, std::min(reply_length(reply), received));
}

std::string read_reply(std::string_view data) {
    std::string out{ACK, STX};
    out += static_cast<char>(data.size() & 0xFF);
    out += static_cast<char>((data.size() >> 8) & 0xFF);
    out += data;
    out += CR;
    return out;
}

}  // namespace quarn7::wire
