// The serial devices of this machine, from sysfs, for hosts that let the user pick a line.
#pragma once

#include <string>
#include <vector>

#include "quarn7/export.h"

namespace quarn7 {

// One serial device as the system lists it.
struct PortInfo {
    std::string device;         // /dev/ttyUSB0
    std::string driver;         // ftdi_sio, 8250, ...
    std::string usb_vendor_id;  // "0403", empty for non-USB
    std::string usb_product_id;
    std::string serial_number;
    std::string description;    // manufacturer and product where known
    std::vector<std::string> by_id;  // /dev/serial/by-id names pointing at it
};
QUARN7_API std::vector<PortInfo> list_ports();

}  // namespace quarn7
