#include "link/console.h"

#include <unistd.h>

namespace qelisp {

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace qelisp
