#include "cli/terminal/console.h"

#include "link/win32/windows_api.h"

#include <io.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace qelisp::cli {

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

int terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// Windows 10 and later consoles take them once asked; older ones refuse.
// A TERM of "dumb" (set by some terminals and editors) is heeded here too.
bool enableTerminalSequences() {
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) return false;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool consoleTakesUtf8() { return GetConsoleOutputCP() == CP_UTF8; }

const char* adapterLatencyAdvice() {
    return "Device Manager, Ports (COM & LPT), the adapter's port, Properties, Port Settings, Advanced..., "
           "Latency Timer (msec): 1 (FTDI; other makers' drivers have a like setting or none); then run again";
}

}  // namespace qelisp::cli
