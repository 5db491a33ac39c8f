#pragma once
// The signals a running job listens for. Ctrl-C, SIGTERM and a closed
// terminal (SIGHUP) each raise `stop`, and the jobs are then cancelled as a
// closing window cancels them. A reader that went away (SIGPIPE) no longer
// ends the process in the middle of an update: the write fails instead, the
// program says so once, and the job goes on.
#include <atomic>

namespace qelisp::cli {

// Call once, before any thread starts. A signal the program was started
// with ignored (nohup, a background job) stays ignored.
void catchStopSignals(std::atomic<bool>& stop);

}  // namespace qelisp::cli
