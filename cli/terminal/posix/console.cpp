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

// The sysfs file where the driver has one (link/posix/sysfs_ports.cpp); a
// port without one is said to have none rather than sent to a file that is
// not there.
std::string adapterLatencyAdvice(const std::vector<PortInfo>& adapters) {
    std::string timers;
    std::string without;
    for (const PortInfo& port : adapters) {
        if (!port.latencyTimer.empty()) {
            timers += " " + port.latencyTimer;
        } else {
            without += (without.empty() ? "" : ", ") + port.name;
        }
    }
    std::string advice;
    if (!timers.empty()) {
        advice =
            "the program asks the driver for low-latency mode, and it ignored that: set the latency timer to "
            "1 ms: echo 1 | sudo tee" +
            timers;
    }
    if (!without.empty()) {
        advice += (advice.empty() ? "" : "; ") + ("no latency timer to set on " + without +
                                                  ": the adapter's own firmware decides when it passes on what "
                                                  "it receives");
    }
    return advice;
}

}  // namespace qelisp::cli
