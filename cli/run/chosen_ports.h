#pragma once
// The first stages of a run: which ports it runs on (those named, the one
// --port auto finds, or the simulated instrument's), and opening them.
#include "cli/cli_options.h"
#include "cli/ports/simulated_instrument.h"
#include "cli/run/run_streams.h"
#include "jobs/failure_hint.h"
#include "link/serial_link.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qelisp::cli {

// A port a run's jobs are for, with its link once it was opened.
struct RunPort {
    std::string name;
    std::unique_ptr<SerialLink> link;
    std::string failure;  // when link is null: why, as the summary says it
    // Why it could not be used, once that is known: it is tried no more.
    FailureReason reason = FailureReason::None;
};

inline constexpr const char* kNotRun = "not run: interrupted";

// The ports in the order of the command line. An exit status when the run
// must end before any job (two names for one port, several instruments
// answering --port auto, a simulator that did not start).
std::optional<int> choosePorts(const Options& options, std::atomic<bool>& interrupted, Streams& streams,
                               std::unique_ptr<SimulatedInstrument>& instrument, std::vector<RunPort>& ports);

// Opens every port not open yet; a port that fails is reported with what to
// do, and keeps its reason.
void openPorts(std::vector<RunPort>& ports, LineTiming timing, Streams& streams);

// The reason in an open failure's message, which starts with the port's name.
std::string openFailure(const std::string& port, const std::string& message);

}  // namespace qelisp::cli
