#include "cli/terminal/console.h"

#include <langinfo.h>
#include <locale.h>
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

bool consoleTakesUtf8() {
    // The program runs in the "C" locale; the user's is what LC_ALL, LC_CTYPE
    // and LANG say, read without changing the program's own.
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return false;
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, user), "UTF-8") == 0;
    freelocale(user);
    return utf8;
}

const char* adapterLatencyAdvice() {
    return "the program asks the driver for low-latency mode, and this one ignored it: "
           "echo 1 | sudo tee /sys/bus/usb-serial/devices/<port>/latency_timer (FTDI), or "
           "sudo setserial /dev/<port> low_latency";
}

}  // namespace qelisp::cli
