// One exception type for everything a member of the controller can raise: an automation error
// number and a description, as automation hosts see them.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "quarn7/export.h"

namespace quarn7 {

enum class ErrorNumber : int {
    InvalidArgument = 5,    // invalid procedure call or argument
    Overflow = 6,
    SubscriptOutOfRange = 9,  // a missing "|" (or ":" / "-") field
    TypeMismatch = 13,
    CallRefused = 17,       // a call made while this controller is inside one of its own waits
    ObjectNotSet = 91,      // no port object handed in
    InvalidPropertyValue = 380,
    // Errors of the serial port object.
    NoSuchDevice = 8002,
    PortAlreadyOpen = 8005,
    PortBusy = 8010,
    PermissionDenied = 8011,
    PortNotOpen = 8012,
    DeviceLost = 8013,
    PortIo = 8018,
    // Errors of a line behind a network server.
    HostNotFound = 8020,
    ConnectionRefused = 8021,
    ConnectTimedOut = 8022,
    NegotiationFailed = 8023,  // the server would not take the line's settings
    PanelUnavailable = 8100,
};

// The standard description of an error number ("Overflow", "Type mismatch", ...).
QUARN7_API std::string_view describe(ErrorNumber number);

class QUARN7_API Error : public std::runtime_error {
public:
    explicit Error(ErrorNumber number);
    Error(ErrorNumber number, std::string description);

    ErrorNumber number() const { return number_; }
    int code() const { return static_cast<int>(number_); }
    const std::string& description() const { return description_; }

private:
    ErrorNumber number_;
    std::string description_;
};

}  // namespace quarn7
