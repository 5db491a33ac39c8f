// Which COM ports a technician could use right now: COM1 to COM8, each tried
// by opening it without sharing and closing it again, so that a port held by
// another program is not offered.
#include "link/port.h"
#include "link/win32/win32_serial_link.h"

namespace qelisp {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 8;

bool canOpen(const std::string& name) {
    HANDLE handle = CreateFileA(devicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

}  // namespace

std::vector<std::string> enumeratePorts() {
    std::vector<std::string> ports;
    for (int number = kFirstPort; number <= kLastPort; ++number) {
        std::string name = "COM" + std::to_string(number);
        if (canOpen(name)) ports.push_back(name);
    }
    return ports;
}

}  // namespace qelisp
