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

namespace {

// Wine's console takes the mode and reads it back as set, yet draws each
// sequence as text ("[1A[J" before every redraw): it parses none.
bool wineConsole() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

// Windows 10 and later consoles take them once asked; older ones refuse the
// mode, and a console that takes the call but keeps its old mode shows it
// when asked again. Only then are the sequences written; otherwise plain
// lines, as into a pipe. A TERM of "dumb" (set by some terminals and
// editors) is heeded here too.
bool enableTerminalSequences() {
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    // A pipe, a file or NUL has no console mode.
    if (!GetConsoleMode(out, &mode)) return false;
    if (wineConsole()) return false;
    if (!SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
    DWORD taken = 0;
    if (GetConsoleMode(out, &taken) && (taken & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
    // The console keeps the mode it had, for the plain lines to come.
    SetConsoleMode(out, mode);
    return false;
}

bool consoleTakesUtf8() { return GetConsoleOutputCP() == CP_UTF8; }

// Each port as Device Manager lists it: its description, then its name.
std::string adapterLatencyAdvice(const std::vector<PortInfo>& adapters) {
    std::string ports;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const PortInfo& port = adapters[i];
        ports += (i == 0                     ? ""
                  : i + 1 == adapters.size() ? " and "
                                             : ", ") +
                 (port.description.empty() ? port.name : port.description + " (" + port.name + ")");
    }
    return "Device Manager, Ports (COM & LPT), " + ports +
           ", Properties, Port Settings, Advanced..., Latency Timer (msec): 1" +
           (adapters.size() > 1 ? " on each" : "") +
           " (FTDI; other makers' drivers have a like setting or none); then run again";
}

}  // namespace qelisp::cli
