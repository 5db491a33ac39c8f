#pragma once
// After a run: what each port's answers waited beyond their time on the
// wire, said as what it is. On a local port that is mostly an adapter's
// latency timer; across a network it is the round trip to the server, and
// answers held back in pieces are a server that waits for this client's
// acknowledgement before it sends on.
#include "cli/terminal/job_view.h"

#include <optional>
#include <string>
#include <vector>

namespace qelisp::cli {

struct WaitNote {
    bool network = false;
    double perAnswerMs = 0;  // beyond the wire, on average
    double seconds = 0;      // over the whole run
    std::uint64_t heldBackAnswers = 0;
    std::string text;    // the figures, in words
    std::string advice;  // what to change; empty when nothing is to be done
};

// The note for one port's jobs, or none: a local port is noted only when its
// answers waited over 2 ms each; a network port whenever an answer was timed.
// `adapterAdvice`: how this system takes an adapter's latency timer down.
std::optional<WaitNote> waitNote(const std::vector<JobRecord>& records, const std::string& adapterAdvice);

}  // namespace qelisp::cli
