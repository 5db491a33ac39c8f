#pragma once
// The serial ports Linux knows, read from sysfs without opening any: the
// ttys of USB adapters (ttyUSB*, ttyACM*) and of on-board UARTs (ttyS*), with
// the USB device's IDs and strings, the stable /dev/serial/by-id name and
// the driver's latency timer where it has one.
// The roots are parameters so that tests can read a tree of their own.
#include "link/port.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qelisp {

struct DeviceTree {
    std::filesystem::path sys{"/sys"};
    std::filesystem::path dev{"/dev"};
};

// Every such tty with a device behind it, ttyUSB* then ttyACM* then ttyS*,
// each by number. A ttyS is left out unless a UART answered at boot (the
// 8250 driver registers ttyS0..31 whatever is there), and so is the
// kernel's console, whose messages would go out to the instrument.
std::vector<PortInfo> readSysfsPorts(const DeviceTree& tree = {});

// The names of those ttys that have a device behind them, nothing more read:
// what an idle window compares once a second to notice a plugged adapter.
std::vector<std::string> sysfsPortNames(const DeviceTree& tree = {});

}  // namespace qelisp
