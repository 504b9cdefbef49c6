// Serial lines behind a network server (a serial device server, ser2net). TcpPort: raw TCP, the
// bytes pass through and the server's own line settings apply. Rfc2217Port: Telnet with the
// COM-port option; the open sets the server's line from Settings and Handshaking and checks its
// answers. Both wait with poll() on the socket, like the termios port on its tty.
#pragma once

#include <chrono>
#include <string>

#include "platform/telnet_codec.h"
#include "quarn7/error.h"
#include "quarn7/serial_port.h"

namespace quarn7 {

class TcpPort : public SerialPort {
public:
    // `address` is what errors name ("tcp://host:port"); CommPort plays no part.
    TcpPort(std::string address, std::string host, std::string service);
    ~TcpPort() override;
    const std::string& address() const { return address_; }

protected:
    using Deadline = std::chrono::steady_clock::time_point;

    bool is_open() const override { return fd_ >= 0; }
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    bool wait_readable(Clock::duration timeout) override;

    // What the kind of line does to the bytes each way (raw: nothing), and after connecting.
    virtual std::string encode(std::string_view data) { return std::string(data); }
    virtual std::string decode(std::string_view bytes) { return std::string(bytes); }
    virtual void start_line(Deadline) {}

    void send_raw(std::string_view bytes);
    // Takes what the socket holds into the input (through decode); throws DeviceLost once the
    // server has closed and every byte it sent was taken.
    void take_input();
    // Blocks until the socket has bytes or `deadline`; false at the deadline.
    bool wait_socket(Deadline deadline);
    [[noreturn]] void fail(ErrorNumber number, const std::string& why);  // closes, then throws
    std::string received_;                                               // line data not yet taken

private:
    void connect_socket(Deadline deadline);

    std::string address_, host_, service_;
    int fd_ = -1;
};

class Rfc2217Port : public TcpPort {
public:
    using TcpPort::TcpPort;

protected:
    std::string encode(std::string_view data) override { return TelnetCodec::escape(data); }
    std::string decode(std::string_view bytes) override;
    void start_line(Deadline deadline) override;
    void close_port() override;

private:
    TelnetCodec codec_;
};

}  // namespace quarn7
