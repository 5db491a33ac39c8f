#include "cli/run/shared_terminal.h"

#include <sys/stat.h>
#include <unistd.h>

namespace qelisp::cli {

bool errorsShareTheTerminal() {
    if (isatty(STDOUT_FILENO) != 1 || isatty(STDERR_FILENO) != 1) return false;
    struct stat out {};
    struct stat err {};
    if (fstat(STDOUT_FILENO, &out) != 0 || fstat(STDERR_FILENO, &err) != 0) return false;
    return out.st_rdev == err.st_rdev;
}

}  // namespace qelisp::cli
