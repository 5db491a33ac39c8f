#pragma once
// Running program or verify from the console: open the port, run the job on
// its worker as the window does, show every status line, and turn the
// outcome into an exit status.
#include "cli/cli_options.h"

#include <atomic>

namespace qelisp::cli {

enum ExitStatus { kExitOk = 0, kExitJobFailed = 1, kExitUsage = 2 };

// `interrupted` is raised by Ctrl-C; the job is then cancelled the way a
// closing window cancels it.
int runJob(const Options& options, std::atomic<bool>& interrupted);

}  // namespace qelisp::cli
