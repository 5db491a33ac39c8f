#include "cli/run/chosen_ports.h"

#include "cli/ports/port_probe.h"
#include "cli/ports/same_port.h"
#include "cli/records/job_summary.h"
#include "cli/records/unused_port.h"
#include "link/port.h"
#include "link/printable_name.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qelisp::cli {

namespace {

using Clock = std::chrono::steady_clock;

// With --wait the search is made again, once a second, until one instrument
// answers or the time is up.
FoundInstrument searchForInstrument(const Options& options, std::atomic<bool>& interrupted, Streams& streams) {
    const auto deadline = Clock::now() + std::chrono::seconds(options.waitSeconds);
    FoundInstrument found;
    for (bool first = true;; first = false) {
        const auto tried = Clock::now();
        const std::vector<std::string> candidates = options.autoCandidates ? *options.autoCandidates : enumeratePorts();
        if (first && !candidates.empty()) streams.error("looking for the instrument on " + portList(candidates));
        if (first && options.waitSeconds > 0) {
            streams.error("waiting up to " + std::to_string(options.waitSeconds) +
                          " s for one instrument to answer (switch it on in its loader; Ctrl-C stops)");
        }
        found = findInstrument(candidates, options.lineTiming, interrupted);
        // The last search comes at the deadline, not a second short of it.
        if (found.link || found.interrupted || found.several || Clock::now() >= deadline) break;
        const auto next = std::min(tried + std::chrono::seconds(1), deadline);
        while (Clock::now() < next && !interrupted.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (interrupted.load()) {
            found.interrupted = true;
            break;
        }
    }
    return found;
}

std::optional<int> autoPort(const Options& options, std::atomic<bool>& interrupted, Streams& streams,
                            std::vector<RunPort>& ports) {
    FoundInstrument found = searchForInstrument(options, interrupted, streams);
    if (found.link) {
        streams.error("the instrument answers on " + printableName(found.port));
        ports.push_back({found.port, std::move(found.link), {}, FailureReason::None});
        return std::nullopt;
    }
    // Several instruments: the command line must say which.
    if (found.several) {
        streams.error("--port auto: " + found.error);
        return kExitUsage;
    }
    // No instrument is a failed one: the search ends as a job would.
    FailureReason reason = FailureReason::NotStarted;
    std::string failure = kNotRun;
    if (found.interrupted) {
        streams.error("--port auto: interrupted");
    } else {
        failure = found.error;
        reason = found.echoing  ? FailureReason::WrongAnswer
                 : found.noPort ? FailureReason::NotFound
                                : FailureReason::NoAnswer;
        if (options.waitSeconds > 0) {
            failure += " in " + std::to_string(options.waitSeconds) + " s of waiting";
            if (!found.echoing) reason = FailureReason::NeverAppeared;
        }
        streams.error("--port auto: " + failure);
        streams.hint("auto", reason);
    }
    ports.push_back({"auto", nullptr, std::move(failure), reason});
    return std::nullopt;
}

}  // namespace

std::string openFailure(const std::string& port, const std::string& message) {
    const std::string name = printableName(port) + ": ";
    return "cannot open: " + (message.rfind(name, 0) == 0 ? message.substr(name.size()) : message);
}

std::optional<int> choosePorts(const Options& options, std::atomic<bool>& interrupted, Streams& streams,
                               std::unique_ptr<SimulatedInstrument>& instrument, std::vector<RunPort>& ports) {
    if (options.simulate) {
        std::string error;
        instrument = SimulatedInstrument::start({options.simPacing, options.simFlash}, error);
        if (!instrument) {
            streams.error(error);
            return kExitUsage;
        }
        ports.push_back({instrument->portName(), nullptr, {}, FailureReason::None});
        return std::nullopt;
    }
    if (options.autoPort()) return autoPort(options, interrupted, streams, ports);
    // Before any is opened: the second would find the port held by the
    // first, and "in use by another program" would send the user looking
    // for one.
    if (const std::string twice = samePortTwice(options.ports); !twice.empty()) {
        streams.error(twice);
        return kExitUsage;
    }
    for (const std::string& name : options.ports) ports.push_back({name, nullptr, {}, FailureReason::None});
    return std::nullopt;
}

void openPorts(std::vector<RunPort>& ports, LineTiming timing, Streams& streams) {
    for (RunPort& port : ports) {
        if (port.link || port.reason != FailureReason::None) continue;
        OpenResult opened = openPort(port.name, OpenMode::StartUp, timing);
        if (opened.link) {
            port.link = std::move(opened.link);
        } else {
            streams.error("cannot open " + opened.message);
            port.failure = openFailure(port.name, opened.message);
            port.reason = openReason(opened.error, false);
            streams.hint(port.name, port.reason);
        }
    }
}

}  // namespace qelisp::cli
