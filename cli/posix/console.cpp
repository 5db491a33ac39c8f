#include "cli/console.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>

namespace qelisp::cli {

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int terminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

// Terminals on POSIX systems speak these sequences, but for one that says
// it does not.
bool enableTerminalSequences() {
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
    return stdoutIsTerminal();
}

const char* adapterLatencyAdvice() {
    return "the program asks the driver for low-latency mode, and this one ignored it: "
           "echo 1 | sudo tee /sys/bus/usb-serial/devices/<port>/latency_timer (FTDI), or "
           "sudo setserial /dev/<port> low_latency";
}

}  // namespace qelisp::cli
