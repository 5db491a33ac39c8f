#include "cli/run/shared_terminal.h"

#include "link/win32/windows_api.h"

namespace qelisp::cli {

// A process has one console: both handles on it are the same screen.
bool errorsShareTheTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 &&
           GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace qelisp::cli
