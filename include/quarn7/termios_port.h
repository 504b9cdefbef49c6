// The serial port object over a POSIX tty: termios line settings, exclusive open, poll() waits.
// A pseudo-terminal works as a port (it ignores baud rate and parity).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quarn7/export.h"
#include "quarn7/port_list.h"
#include "quarn7/serial_port.h"

struct termios;

namespace quarn7 {

class QUARN7_API TermiosPort : public SerialPort {
public:
    TermiosPort();
    ~TermiosPort() override;

    // Opens this device whatever CommPort says (CommPort keeps working as a number for hosts).
    // PortAlreadyOpen while open, as CommPort.
    void bind(std::string path);
    void unbind();
    // The device that PortOpen = true opens now.
    std::string device_path() const;
    std::string line_name() const override { return device_path(); }

    // CommPort N opens /dev/ttyS{N-1} unless a path was mapped to N (an empty path removes the
    // mapping). Process-wide.
    static void map_port(std::int16_t number, std::string path);
    static std::string default_device(std::int16_t number);

protected:
    bool is_open() const override { return fd_ >= 0; }
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    bool wait_readable(Clock::duration timeout) override;

private:
    [[noreturn]] void fail(int err, const char* what);  // closes on a lost device, then throws
    // Moves what the driver holds into received_, dropping (and counting) damaged bytes.
    void take_input();

    int fd_ = -1;
    std::unique_ptr<::termios> previous_settings_;  // before the open; put back on close
    std::string bound_path_;
    std::string open_path_;
    std::string received_;  // read from the driver, not yet taken
    std::string cut_mark_;  // the start of a mark whose rest the driver had not handed over
};

}  // namespace quarn7
