// The one place where a line address becomes a port object. Each kind of line is a SerialPort
// subclass: a device path (TermiosPort), tcp://HOST:PORT (TcpPort), rfc2217://HOST:PORT
// (Rfc2217Port); HOST is a name, an IPv4 address or [an IPv6 address].
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "quarn7/serial_port.h"

namespace quarn7 {

struct HostPort {
    std::string host;  // a name, an IPv4 or IPv6 address (without brackets)
    std::string port;  // digits, 0 to 65535
};
// "HOST:PORT", "[IPv6]:PORT"; InvalidArgument naming `address` otherwise.
HostPort split_host_port(std::string_view text, std::string_view address);

// A closed port for `address`. An address with a scheme no port here knows, or a network address
// without HOST:PORT, raises InvalidArgument.
std::shared_ptr<SerialPort> port_for_address(std::string_view address);

}  // namespace quarn7
