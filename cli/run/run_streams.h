#pragma once
// Standard output and error for the length of a run, and waiting for a
// reader to take what they hold.
#include "cli/run/shared_terminal.h"
#include "cli/terminal/console_view.h"
#include "cli/terminal/output_queue.h"
#include "jobs/failure_hint.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace qelisp::cli {

struct Streams {
    OutputQueue errors{stderr, "standard error", nullptr};
    OutputQueue out{stdout, "standard output", &errors};

    // A message for people. When standard error is standard output's
    // terminal it goes the way of the output, in order with it (two writers
    // would put it anywhere among the live lines), and while `live` draws
    // live lines there, above them.
    void error(const std::string& text);
    // What to do about a port that could not be used, as a job's hint says it.
    void hint(const std::string& port, FailureReason reason);

    // The view drawing live lines on standard output, or null; set before
    // the jobs start and cleared after they have ended.
    void drawErrorsAbove(ConsoleView* live) { live_.store(live); }

private:
    const bool shared_ = errorsShareTheTerminal();
    std::atomic<ConsoleView*> live_{nullptr};
};

// Waits until both streams are written; once interrupted, for a grace of
// 100 ms at most. False when the reader did not take it all in that time.
bool flushed(Streams& streams, const std::atomic<bool>& interrupted);

}  // namespace qelisp::cli
