#include "link/console.h"

#include <cstdio>
#include <io.h>

namespace qelisp {

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

}  // namespace qelisp
