#pragma once
// Standard output and error for the length of a run, and waiting for a
// reader to take what they hold.
#include "cli/terminal/output_queue.h"
#include "jobs/failure_hint.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace qelisp::cli {

struct Streams {
    OutputQueue errors{stderr, "standard error", nullptr};
    OutputQueue out{stdout, "standard output", &errors};

    void error(const std::string& text);
    // What to do about a port that could not be used, as a job's hint says it.
    void hint(const std::string& port, FailureReason reason);
};

// Waits until both streams are written; once interrupted, for a grace of
// 100 ms at most. False when the reader did not take it all in that time.
bool flushed(Streams& streams, const std::atomic<bool>& interrupted);

}  // namespace qelisp::cli
