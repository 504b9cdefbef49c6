// Telnet with the COM-port control option (RFC 854, 856, 2217) as bytes, without I/O: what a client
// sends to set a serial server's line, and a reader that takes the server's bytes apart into line
// data, option negotiation (answered here) and the server's answers to the line settings.
//
//   client: IAC WILL COM-PORT-OPTION, IAC WILL BINARY, IAC DO BINARY
//   server: IAC DO COM-PORT-OPTION, IAC DO BINARY, IAC WILL BINARY
//   client: IAC SB COM-PORT-OPTION SET-BAUDRATE <4 bytes, network order> IAC SE, SET-DATASIZE,
//           SET-PARITY, SET-STOPSIZE, SET-CONTROL <1 byte each>
//   server: the same commands plus 100, with the value it now uses
// Line data has every IAC (0xFF) doubled, both ways.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quarn7/serial_port.h"

namespace quarn7 {

class TelnetCodec {
public:
    // SET-BAUDRATE .. SET-CONTROL are commands 1 to 5; index = command - 1.
    static constexpr int kLineCommands = 5;
    using LineValues = std::array<std::uint32_t, kLineCommands>;

    // The values RFC 2217 uses for `line` and `handshaking` (0 none, 1 XON/XOFF, 2 and 3 RTS/CTS).
    static LineValues line_values(const LineSettings& line, int handshaking);
    static std::string escape(std::string_view data);  // line data with IAC doubled
    static std::string set_line(const LineValues& values);

    // The client's opening, WILL COM-PORT-OPTION and BINARY both ways.
    std::string start();
    // The line data among the server's bytes; negotiation and subnegotiations are taken out.
    std::string decode(std::string_view bytes);
    // What the server's option requests need as answers; sent by the caller, then cleared.
    std::string take_replies();

    // The server takes COM-port commands and binary data both ways.
    bool agreed() const;
    // The server declined one of those (and may have taken it back later).
    bool declined() const { return declined_; }
    // The server's answer to SET command `index` + 1, nullopt until one came.
    const std::optional<std::uint32_t>& answer(int index) const { return answers_[index]; }

private:
    struct Option {
        bool enabled = false;
        bool asked = false;  // a request of ours awaits its answer
    };
    enum class State { Data, Command, Verb, Sub, SubCommand };

    void negotiate(unsigned char verb, unsigned char option);
    void subnegotiation();
    void reply(unsigned char verb, unsigned char option);

    State state_ = State::Data;
    unsigned char verb_ = 0;
    std::string sub_;  // a subnegotiation's bytes so far, bounded
    Option binary_out_, binary_in_, com_port_;
    // Options declined once, per side: a server asking again and again gets no more answers.
    std::bitset<256> refused_[2];
    bool declined_ = false;
    std::string replies_;
    std::array<std::optional<std::uint32_t>, kLineCommands> answers_;
};

}  // namespace quarn7
