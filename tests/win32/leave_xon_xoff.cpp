// An earlier program on a COM port, as a terminal program may be: turns
// XON/XOFF flow control on, closes the port, then opens it again and says
// whether the setting stayed with the port ("COM1: XON/XOFF on"), which is
// what the next program to open it finds.
//   leave_xon_xoff.exe COM1
// Exit status 0 when it stayed, 1 when it did not, 2 when the port would not
// take it.
#include "link/win32/windows_api.h"

#include <cstdio>
#include <string>

namespace {

HANDLE openPort(const std::string& name) {
    return CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: leave_xon_xoff COMn\n", stderr);
        return 2;
    }
    const std::string name = argv[1];
    HANDLE port = openPort(name);
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    bool set = port != INVALID_HANDLE_VALUE && GetCommState(port, &dcb);
    if (set) {
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        set = SetCommState(port, &dcb) != FALSE;
    }
    const DWORD error = GetLastError();
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    if (!set) {
        std::fprintf(stderr, "%s: XON/XOFF not set (Windows error %lu)\n", name.c_str(), error);
        return 2;
    }

    port = openPort(name);
    DCB left{};
    left.DCBlength = sizeof(left);
    const bool read = port != INVALID_HANDLE_VALUE && GetCommState(port, &left);
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    const bool stayed = read && left.fOutX && left.fInX;
    std::printf("%s: XON/XOFF %s\n", name.c_str(), stayed ? "on" : "off");
    return stayed ? 0 : 1;
}
