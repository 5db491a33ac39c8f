// Which serial ports a technician could use right now. Only hardware-backed
// ttys are offered: USB adapters (ttyUSB*, ttyACM*) and on-board UARTs
// (ttyS*) that the kernel found a chip behind.
#include "link/port.h"
#include "link/posix/posix_serial_link.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qelisp {

namespace {

constexpr std::size_t kMaxPorts = 8;
constexpr std::string_view kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};

// The 8250 driver registers ttyS0..31 whether or not a UART answers; only a
// known port type means a chip is there.
bool uartPresent(const std::string& name) {
    int fd = ::open(devicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    bool present = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
}

bool hardwareBacked(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::exists("/sys/class/tty/" + name + "/device", ec)) return false;
    return name.rfind("ttyS", 0) != 0 || uartPresent(name);
}

// ttyUSB2 before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
        long n = i < s.size() ? std::stol(s.substr(i)) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

}  // namespace

std::vector<std::string> enumeratePorts() {
    std::vector<std::string> ports;
    for (std::string_view family : kFamilies) {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
            std::string name = entry.path().filename().string();
            if (name.size() <= family.size() || name.compare(0, family.size(), family) != 0) continue;
            if (!std::all_of(name.begin() + static_cast<long>(family.size()), name.end(),
                             [](unsigned char c) { return std::isdigit(c); })) {
                continue;
            }
            if (hardwareBacked(name)) found.push_back(name);
        }
        std::sort(found.begin(), found.end(), naturalLess);
        for (const auto& name : found) {
            if (ports.size() == kMaxPorts) return ports;
            // A port that another program holds is not offered.
            if (openPort(name).link) ports.push_back(name);
        }
    }
    return ports;
}

}  // namespace qelisp
