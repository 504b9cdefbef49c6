#include "quarn7/error.h"

#include <array>
#include <utility>

namespace quarn7 {

namespace {

struct Description {
    ErrorNumber number;
    std::string_view text;
};

constexpr std::array kDescriptions{
    Description{ErrorNumber::InvalidArgument, "Invalid procedure call or argument"},
    Description{ErrorNumber::Overflow, "Overflow"},
    Description{ErrorNumber::SubscriptOutOfRange, "Subscript out of range"},
    Description{ErrorNumber::TypeMismatch, "Type mismatch"},
    Description{ErrorNumber::CallRefused, "Can't perform requested operation"},
    Description{ErrorNumber::ObjectNotSet, "Object variable or With block variable not set"},
    Description{ErrorNumber::InvalidPropertyValue, "Invalid property value"},
    Description{ErrorNumber::NoSuchDevice, "No such device"},
    Description{ErrorNumber::PortAlreadyOpen, "Port already open"},
    Description{ErrorNumber::PortBusy, "Port busy"},
    Description{ErrorNumber::PermissionDenied, "Permission denied"},
    Description{ErrorNumber::PortNotOpen, "Port not open"},
    Description{ErrorNumber::DeviceLost, "Device lost"},
    Description{ErrorNumber::PortIo, "Port I/O error"},
    Description{ErrorNumber::HostNotFound, "Host not found"},
    Description{ErrorNumber::ConnectionRefused, "Connection refused"},
    Description{ErrorNumber::ConnectTimedOut, "Timed out connecting"},
    Description{ErrorNumber::NegotiationFailed, "Line settings not agreed with the server"},
    Description{ErrorNumber::PanelUnavailable,
                "The service panel is not available on this platform"},
};

}  // namespace

std::string_view describe(ErrorNumber number) {
    for (const auto& d : kDescriptions) {
        if (d.number == number) return d.text;
    }
    return "Application-defined or object-defined error";
}

Error::Error(ErrorNumber number) : Error(number, std::string(describe(number))) {}

Error::Error(ErrorNumber number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

}  // namespace quarn7
