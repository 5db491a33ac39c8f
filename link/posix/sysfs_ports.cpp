#include "link/posix/sysfs_ports.h"

#include "link/port_order.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <string_view>

namespace qelisp {

namespace fs = std::filesystem;

namespace {

// In the order they are offered: USB adapters are what technicians plug in.
constexpr std::string_view kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};

// The family's place in kFamilies, or -1 for any other tty.
int familyOf(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kFamilies); ++i) {
        const std::string_view family = kFamilies[i];
        if (name.size() > family.size() && name.substr(0, family.size()) == family &&
            std::all_of(name.begin() + static_cast<long>(family.size()), name.end(),
                        [](unsigned char c) { return std::isdigit(c); })) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A sysfs attribute's first line; "" when it is missing.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

std::uint16_t hexAttribute(const fs::path& file) {
    const std::string text = attribute(file);
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size() && value <= 0xFFFF
               ? static_cast<std::uint16_t>(value)
               : 0;
}

// The USB device a tty hangs off: the nearest directory above its device
// with an idVendor (a ttyUSB sits under a usb-serial port under an
// interface, a ttyACM under an interface). Empty when there is none.
fs::path usbDeviceOf(const fs::path& ttyDevice, const fs::path& sysRoot) {
    std::error_code ec;
    fs::path at = fs::canonical(ttyDevice, ec);
    const fs::path root = fs::canonical(sysRoot, ec);
    if (ec) return {};
    for (int depth = 0; depth < 6 && at != root && at.has_relative_path(); ++depth, at = at.parent_path()) {
        if (fs::exists(at / "idVendor", ec)) return at;
    }
    return {};
}

// dev/serial/by-id/NAME for each port the links there point to; the first
// by name when several do.
std::string byIdPath(const DeviceTree& tree, const std::string& port) {
    std::error_code ec;
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(tree.dev / "serial" / "by-id", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError && target.filename() == port) links.push_back(entry.path());
    }
    return links.empty() ? std::string() : std::min_element(links.begin(), links.end())->string();
}

// The port's latency_timer as the usb-serial bus lists it, the path a
// technician writes 1 to; empty when the driver has none.
std::string latencyTimerPath(const DeviceTree& tree, const std::string& port) {
    const fs::path file = tree.sys / "bus" / "usb-serial" / "devices" / port / "latency_timer";
    std::error_code ec;
    return fs::is_regular_file(file, ec) ? file.string() : std::string();
}

}  // namespace

std::vector<std::string> sysfsPortNames(const DeviceTree& tree) {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path classDir = tree.sys / "class" / "tty";
    for (const auto& entry : fs::directory_iterator(classDir, ec)) {
        std::string name = entry.path().filename().string();
        if (familyOf(name) < 0 || !fs::exists(entry.path() / "device", ec)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int fa = familyOf(a), fb = familyOf(b);
        return fa != fb ? fa < fb : portNameLess(a, b);
    });
    return names;
}

std::vector<PortInfo> readSysfsPorts(const DeviceTree& tree) {
    std::vector<PortInfo> ports;
    for (const std::string& name : sysfsPortNames(tree)) {
        const fs::path tty = tree.sys / "class" / "tty" / name;
        if (attribute(tty / "console") == "Y") continue;
        PortInfo port;
        port.name = name;
        if (name.rfind("ttyS", 0) == 0) {
            // The UART type the driver found; 0 is "unknown": nothing there.
            const std::string type = attribute(tty / "type");
            if (type.empty() || type == "0") continue;
            port.description = "Built-in serial port";
        } else if (const fs::path usb = usbDeviceOf(tty / "device", tree.sys); !usb.empty()) {
            port.vid = hexAttribute(usb / "idVendor");
            port.pid = hexAttribute(usb / "idProduct");
            port.maker = attribute(usb / "manufacturer");
            port.serial = attribute(usb / "serial");
            port.description = attribute(usb / "product");
        }
        if (port.description.empty()) port.description = "USB serial port";
        port.byId = byIdPath(tree, name);
        port.latencyTimer = latencyTimerPath(tree, name);
        ports.push_back(std::move(port));
    }
    return ports;
}

}  // namespace qelisp
