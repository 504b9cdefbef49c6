#include <algorithm>
#include <filesystem>
#include <fstream>

#include "quarn7/port_list.h"

namespace quarn7 {

namespace {

namespace fs = std::filesystem;

// First line of a sysfs attribute; empty when it is missing.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The USB device (the directory with idVendor) above an interface or serial port, if any.
fs::path usb_device_of(fs::path dir) {
    std::error_code ec;
    for (; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec)) return dir;
    }
    return {};
}

std::string joined(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a + b;
    return a + " " + b;
}

// /dev/serial/by-id names by the device they point at.
std::vector<std::pair<fs::path, std::string>> by_id_links() {
    std::vector<std::pair<fs::path, std::string>> links;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec)) {
        const auto target = fs::canonical(entry.path(), ec);
        if (!ec) links.emplace_back(target, entry.path().string());
    }
    return links;
}

}  // namespace

std::vector<PortInfo> list_ports() {
    std::vector<PortInfo> ports;
    const auto links = by_id_links();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
        const fs::path device_dir = fs::canonical(entry.path() / "device", ec);
        if (ec) continue;  // virtual terminals and ptys have no device
        PortInfo info;
        info.device = "/dev/" + entry.path().filename().string();
        info.driver = fs::canonical(device_dir / "driver", ec).filename().string();
        // The 8250 driver lists ports it merely reserved; they have no UART behind them.
        if (info.driver == "serial8250" && attribute(entry.path() / "type") == "0") continue;
        if (const fs::path usb = usb_device_of(device_dir); !usb.empty()) {
            info.usb_vendor_id = attribute(usb / "idVendor");
            info.usb_product_id = attribute(usb / "idProduct");
            info.serial_number = attribute(usb / "serial");
            info.description = joined(attribute(usb / "manufacturer"), attribute(usb / "product"));
        }
        for (const auto& [target, name] : links) {
            if (target == info.device) info.by_id.push_back(name);
        }
        std::ranges::sort(info.by_id);
        ports.push_back(std::move(info));
    }
    std::ranges::sort(ports, {}, &PortInfo::device);
    return ports;
}

}  // namespace quarn7
