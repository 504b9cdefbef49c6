// The serial port object over a Windows COM port: CommPort N opens \\.\COMN exclusively with the
// line settings; waits block in the driver with a timeout instead of polling.
#pragma once

#include <string>

#include "quarn7/serial_port.h"

namespace quarn7 {

class Win32Port : public SerialPort {
  public:
    Win32Port() = default;
    ~Win32Port() override;
    Win32Port(const Win32Port&) = delete;
    Win32Port& operator=(const Win32Port&) = delete;

    // The line as Windows names it: "COM3".
    std::string line_name() const override { return "COM" + std::to_string(comm_port()); }

  protected:
    bool is_open() const override { return handle_ != nullptr; }
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    bool wait_readable(Clock::duration timeout) override;

  private:
    [[noreturn]] void fail(const char* what);  // closes on a lost device, then throws
    // Bytes the driver holds; line damage it reports is counted.
    int queued();
    // How long a ReadFile may wait for its first byte; 0 returns at once with what is there.
    void set_read_wait(unsigned long milliseconds);
    // One ReadFile under the current read wait, appended to `bytes`.
    void read_into(std::string& bytes);

    void* handle_ = nullptr;
    std::string name_;     // "COM3", for error texts
    std::string pending_;  // bytes a wait has already taken from the driver
    unsigned long read_wait_ = 0;
    unsigned long write_ms_per_byte_ = 1;
};

}  // namespace quarn7
