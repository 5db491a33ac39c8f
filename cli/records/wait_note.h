#pragma once
// After a run: what each port's answers waited beyond their time on the
// wire, said as what it is. On a port the system lists as a USB adapter that
// is the adapter holding what it receives (its latency timer, where it has
// one); across a network it is the round trip to the server, and answers
// held back in pieces are a server that waits for this client's
// acknowledgement before it sends on. A pseudo-terminal or a built-in UART
// has no adapter to blame and gets no note.
#include "cli/terminal/job_view.h"
#include "link/port.h"

#include <functional>
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

// How this system takes these adapters' wait down, naming each one's own
// setting (adapterLatencyAdvice in cli/terminal/console.h).
using AdapterAdvice = std::function<std::string(const std::vector<PortInfo>& adapters)>;

// The note for one port's jobs, or none: a network port whenever an answer
// was timed; a local port only when `adapter` (its entry in the system's
// list, null when it is no USB adapter) is given and its answers waited over
// 2 ms each, with the advice for that adapter alone.
std::optional<WaitNote> waitNote(const std::vector<JobRecord>& records, const PortInfo* adapter,
                                 const AdapterAdvice& advice);

// One port of a run: the name it was given by and its jobs' records (none
// when they never ran).
struct PortWaits {
    std::string name;
    std::vector<JobRecord> records;
};

struct RunWaitNotes {
    std::vector<std::optional<WaitNote>> ports;  // by port: one JSON event each
    // The console's lines: each network port's own, then one for all the
    // adapters that held answers, naming each with its figures.
    std::vector<std::string> lines;
};

// The notes of a run. `listed` (the system's port list) is asked once, and
// only when a local port's answers waited.
RunWaitNotes runWaitNotes(const std::vector<PortWaits>& ports, const std::function<std::vector<PortInfo>()>& listed,
                          const AdapterAdvice& advice);

}  // namespace qelisp::cli
