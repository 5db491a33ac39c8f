#include "cli/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace qelisp::cli {

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int terminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

// Terminals on POSIX systems all speak these sequences.
bool enableTerminalSequences() { return stdoutIsTerminal(); }

}  // namespace qelisp::cli
