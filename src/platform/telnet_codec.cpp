#include "platform/telnet_codec.h"

namespace quarn7 {

namespace {

constexpr unsigned char kSe = 240, kSb = 250, kWill = 251, kWont = 252, kDo = 253, kDont = 254,
                        kIac = 255;
constexpr unsigned char kBinary = 0, kComPort = 44;
// The server answers a client command with its code plus this.
constexpr unsigned char kServerAnswer = 100;
// Longer subnegotiations (a server's signature text) are cut: none that matters is longer.
constexpr std::size_t kMaxSub = 64;

}  // namespace

TelnetCodec::LineValues TelnetCodec::line_values(const LineSettings& line, int handshaking) {
    constexpr std::string_view kParities = "noems";  // 1 none, 2 odd, 3 even, 4 mark, 5 space
    const auto parity = static_cast<std::uint32_t>(kParities.find(line.parity) + 1);
    const std::uint32_t control = handshaking == 0 ? 1 : handshaking == 1 ? 2 : 3;
    return {static_cast<std::uint32_t>(line.baud), static_cast<std::uint32_t>(line.data_bits),
            parity, static_cast<std::uint32_t>(line.stop_bits), control};
}

std::string TelnetCodec::escape(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (c == static_cast<char>(kIac)) out += c;
    }
    return out;
}

std::string TelnetCodec::set_line(const LineValues& values) {
    std::string out;
    for (int i = 0; i < kLineCommands; ++i) {
        std::string value;
        const int width = i == 0 ? 4 : 1;  // the baud rate in four bytes, network order
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
            value += static_cast<char>((values[i] >> shift) & 0xFF);
        }
        out += std::string{char(kIac), char(kSb), char(kComPort), char(i + 1)} + escape(value) +
               std::string{char(kIac), char(kSe)};
    }
    return out;
}

std::string TelnetCodec::start() {
    com_port_.asked = binary_out_.asked = binary_in_.asked = true;
    return {char(kIac),    char(kWill), char(kComPort), char(kIac),   char(kWill),
            char(kBinary), char(kIac),  char(kDo),      char(kBinary)};
}

std::string TelnetCodec::take_replies() {
    std::string out;
    out.swap(replies_);
    return out;
}

bool TelnetCodec::agreed() const {
    return com_port_.enabled && binary_out_.enabled && binary_in_.enabled;
}

std::string TelnetCodec::decode(std::string_view bytes) {
    std::string data;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Command;
                } else {
                    data += c;
                }
                break;
            case State::Command:
                state_ = State::Data;  // other commands (NOP, GA, a stray SE) carry nothing
                if (b == kIac) {
                    data += c;
                } else if (b >= kWill) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                }
                break;
            case State::Verb:
                negotiate(verb_, b);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    state_ = State::SubCommand;
                } else if (sub_.size() < kMaxSub) {
                    sub_ += c;
                }
                break;
            case State::SubCommand:
                if (b == kIac) {
                    if (sub_.size() < kMaxSub) sub_ += c;
                    state_ = State::Sub;
                } else if (b == kSe) {
                    subnegotiation();
                    state_ = State::Data;
                } else {
                    // A command inside a subnegotiation ends it unfinished; the command counts.
                    state_ = State::Command;
                    data += decode(std::string_view(&c, 1));
                }
                break;
        }
    }
    return data;
}

// Options we want are taken when offered and answered when asked for; every other option is
// declined, once. Only a change of state is answered, so two sides never loop on one option.
void TelnetCodec::negotiate(unsigned char verb, unsigned char option) {
    const bool server_side = verb == kWill || verb == kWont;  // the server's own option
    Option* wanted = option == kBinary ? (server_side ? &binary_in_ : &binary_out_)
                     : option == kComPort && !server_side ? &com_port_
                                                          : nullptr;
    const bool enable = verb == kWill || verb == kDo;
    const unsigned char yes = server_side ? kDo : kWill, no = server_side ? kDont : kWont;
    if (!wanted) {
        if (enable && !refused_[server_side].test(option)) reply(no, option);
        refused_[server_side].set(option);
        return;
    }
    if (!enable) declined_ = true;
    if (wanted->enabled != enable && !wanted->asked) reply(enable ? yes : no, option);
    wanted->enabled = enable;
    wanted->asked = false;
}

void TelnetCodec::subnegotiation() {
    if (sub_.size() < 3 || static_cast<unsigned char>(sub_[0]) != kComPort) return;
    const int index = static_cast<unsigned char>(sub_[1]) - kServerAnswer - 1;
    const std::size_t width = index == 0 ? 4 : 1;
    if (index < 0 || index >= kLineCommands || sub_.size() != 2 + width) return;
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < sub_.size(); ++i) {
        value = value << 8 | static_cast<unsigned char>(sub_[i]);
    }
    answers_[index] = value;
}

void TelnetCodec::reply(unsigned char verb, unsigned char option) {
    replies_ += {char(kIac), char(verb), char(option)};
}

}  // namespace quarn7
