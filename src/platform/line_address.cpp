#include "platform/line_address.h"

#include <string>

#include "platform/network_port.h"
#include "quarn7/error.h"
#include "quarn7/termios_port.h"

namespace quarn7 {

HostPort split_host_port(std::string_view text, std::string_view address) {
    const auto colon = text.rfind(':');
    const bool bracketed = text.starts_with('[');
    HostPort out;
    if (colon != std::string_view::npos) {
        out.host = std::string(text.substr(0, colon));
        out.port = std::string(text.substr(colon + 1));
    }
    const bool host_ok =
        bracketed ? out.host.size() > 2 && out.host.ends_with(']')
                  : !out.host.empty() && out.host.find_first_of(":[]") == std::string::npos;
    if (bracketed && host_ok) out.host = out.host.substr(1, out.host.size() - 2);
    const bool port_ok = !out.port.empty() && out.port.size() <= 5 &&
                         out.port.find_first_not_of("0123456789") == std::string::npos &&
                         std::stoi(out.port) <= 65535;
    if (!port_ok || !host_ok) {
        throw Error(ErrorNumber::InvalidArgument,
                    "Line address " + std::string(address) +
                        ": expected HOST:PORT ([ADDRESS]:PORT for IPv6)");
    }
    return out;
}

std::shared_ptr<SerialPort> port_for_address(std::string_view address) {
    const auto scheme_end = address.find("://");
    if (scheme_end == std::string_view::npos) {
        auto port = std::make_shared<TermiosPort>();
        port->bind(std::string(address));
        return port;
    }
    const std::string_view scheme = address.substr(0, scheme_end);
    if (scheme != "tcp" && scheme != "rfc2217") {
        throw Error(ErrorNumber::InvalidArgument, "No line of kind " + std::string(scheme));
    }
    auto [host, port] = split_host_port(address.substr(scheme_end + 3), address);
    if (scheme == "tcp") return std::make_shared<TcpPort>(std::string(address), host, port);
    return std::make_shared<Rfc2217Port>(std::string(address), host, port);
}

}  // namespace quarn7
