#pragma once
// Running program or verify from the console: open each port, run one job
// per port on its own worker as the window does, show their progress, and
// turn the outcomes into an exit status.
#include "cli/cli_options.h"
#include "cli/records/job_summary.h"

#include <atomic>

namespace qelisp::cli {

// `interrupted` is raised by Ctrl-C; every job is then cancelled the way a
// closing window cancels one, each with the same grace. What the run prints
// never makes a job or Ctrl-C wait: a run nobody interrupted waits for its
// reader at the end, an interrupted one gives a stalled reader 100 ms.
int runJob(const Options& options, std::atomic<bool>& interrupted);

}  // namespace qelisp::cli
