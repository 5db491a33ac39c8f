#include "cli/run_job.h"

#include "cli/console.h"
#include "cli/console_view.h"
#include "cli/output_queue.h"
#include "cli/port_job.h"
#include "cli/port_probe.h"
#include "cli/same_port.h"
#include "cli/simulated_instrument.h"
#include "image/firmware_image.h"
#include "link/port.h"
#include "link/printable_name.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

namespace qelisp::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollPeriod = std::chrono::milliseconds(20);
// After Ctrl-C, what a reader gets to take the last lines before the process
// ends without them; a run nobody interrupted waits for its reader instead.
constexpr auto kOutputGrace = std::chrono::milliseconds(100);

// Standard output and error, for the length of a run.
struct Streams {
    OutputQueue errors{stderr, "standard error", nullptr};
    OutputQueue out{stdout, "standard output", &errors};

    void error(const std::string& text) { errors.append("qelisp-cli: " + text + "\n"); }
};

// Waits until both streams are written; once interrupted, for kOutputGrace
// at most. False when the reader did not take it all in that time.
bool flushed(Streams& streams, const std::atomic<bool>& interrupted) {
    std::optional<Clock::time_point> deadline;
    for (OutputQueue* queue : {&streams.out, &streams.errors}) {
        for (;;) {
            if (!deadline && interrupted.load()) deadline = Clock::now() + kOutputGrace;
            const Clock::time_point slice = Clock::now() + kPollPeriod;
            if (queue->drain(deadline ? std::min(slice, *deadline) : slice)) break;
            if (deadline && Clock::now() >= *deadline) return false;
        }
    }
    return true;
}

PageSpan pageSpan(const FirmwareImage& image) {
    int first = -1;
    int last = -1;
    if (auto start = image.findStartRecord()) {
        image.walk(*start, [&](const ImageRecord& record) {
            int page = static_cast<int>(record.address() >> 12);
            if (first < 0) first = page;
            last = page;
            return true;
        });
    }
    return {first < 0 ? 0 : first, last < 0 ? 0 : last};
}

// The reason in an open failure's message, which starts with the port's name.
std::string openFailure(const std::string& port, const std::string& message) {
    const std::string name = printableName(port) + ": ";
    return "cannot open: " + (message.rfind(name, 0) == 0 ? message.substr(name.size()) : message);
}

bool anyBusy(const std::vector<std::unique_ptr<PortJob>>& jobs) {
    return std::any_of(jobs.begin(), jobs.end(), [](const auto& job) { return job->busy(); });
}

// The ports a job runs on, each with its link if it was opened; the order of
// the command line.
struct Port {
    std::string name;
    std::unique_ptr<SerialLink> link;
    std::string failure;  // when link is null
};

// The ports to run on, in the order of the command line, the one --port auto
// found or the simulated instrument's. An exit status when there are none.
std::optional<int> choosePorts(const Options& options, std::atomic<bool>& interrupted, Streams& streams,
                               std::unique_ptr<SimulatedInstrument>& instrument, std::vector<Port>& ports) {
    if (options.simulate) {
        std::string error;
        instrument = SimulatedInstrument::start({options.simPacing, options.simFlash}, error);
        if (!instrument) {
            streams.error(error);
            return kExitUsage;
        }
        ports.push_back({instrument->portName(), nullptr, {}});
    } else if (options.autoPort()) {
        const std::vector<std::string> candidates = options.autoCandidates ? *options.autoCandidates : enumeratePorts();
        if (!candidates.empty()) streams.error("looking for the instrument on " + portList(candidates));
        FoundInstrument found = findInstrument(candidates, interrupted);
        if (!found.link) {
            streams.error("--port auto: " + found.error);
            return found.interrupted ? kExitJobFailed : kExitUsage;
        }
        streams.error("the instrument answers on " + printableName(found.port));
        ports.push_back({found.port, std::move(found.link), {}});
    } else {
        // Before any is opened: the second would find the port held by the
        // first, and "in use by another program" would send the user looking
        // for one.
        if (const std::string twice = samePortTwice(options.ports); !twice.empty()) {
            streams.error(twice);
            return kExitUsage;
        }
        for (const std::string& name : options.ports) ports.push_back({name, nullptr, {}});
    }
    return std::nullopt;
}

// Opens every port not open yet; a port that fails is reported and keeps
// its reason.
void openPorts(std::vector<Port>& ports, Streams& streams) {
    for (Port& port : ports) {
        if (port.link) continue;
        OpenResult opened = openPort(port.name, OpenMode::StartUp);
        if (opened.link) {
            port.link = std::move(opened.link);
        } else {
            streams.error("cannot open " + opened.message);
            port.failure = openFailure(port.name, opened.message);
        }
    }
}

int runJobs(const Options& options, std::atomic<bool>& interrupted, Streams& streams) {
    std::vector<Port> ports;
    std::unique_ptr<SimulatedInstrument> instrument;
    if (auto status = choosePorts(options, interrupted, streams, instrument, ports)) return *status;
    openPorts(ports, streams);
    const bool several = ports.size() > 1;
    std::vector<std::unique_ptr<PortJob>> jobs;
    std::vector<std::string> running;
    for (Port& port : ports) {
        if (!port.link) continue;
        const std::string prefix = several ? printableName(port.name) + ": " : "";
        jobs.push_back(std::make_unique<PortJob>(port.name, std::move(port.link),
                                                 options.trace ? &streams.errors : nullptr, prefix));
        running.push_back(port.name);
    }
    // One port that cannot be opened is a usage error, as it always was:
    // nothing ran and nothing is summed up.
    if (!several && jobs.empty()) return kExitUsage;

    const FirmwareImage& image = embeddedImage();
    ConsoleView::Setup setup;
    // Traced lines on stderr would tear the live lines apart.
    setup.live = !jobs.empty() && !options.trace && stdoutIsTerminal() && enableTerminalSequences();
    setup.allLines = options.allLines;
    setup.columns = setup.live ? terminalColumns() : 0;
    setup.pages = pageSpan(image);
    ConsoleView view(streams.out, running, setup);
    const JobKind kind = options.command == Command::Program ? JobKind::Program : JobKind::Verify;
    for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i]->start(kind, image, view, i);

    auto outcomes = [&] {
        std::vector<PortOutcome> all;
        std::size_t next = 0;
        for (const Port& port : ports) {
            if (port.failure.empty()) {
                all.push_back(jobs[next++]->outcome());
            } else {
                all.push_back({port.name, PortOutcome::Kind::NotOpened, port.failure, 0});
            }
        }
        return all;
    };

    while (anyBusy(jobs)) {
        if (interrupted.load()) {
            for (auto& job : jobs) job->cancel();
            // One grace period for all of them, as a closing window gives its one job.
            const auto deadline = Clock::now() + kCancelGrace;
            bool ended = true;
            for (auto& job : jobs) ended = job->awaitEnd(deadline) && ended;
            if (!ended) {
                // Like a closed window: the jobs had their grace period; the
                // process ends and takes the workers with it.
                view.finish();
                if (several) streams.out.append("\n" + summaryTable(outcomes()));
                streams.error("interrupted; a job did not stop within 300 ms");
                flushed(streams, interrupted);
                std::_Exit(kExitJobFailed);
            }
            break;
        }
        view.refresh(setup.live ? terminalColumns() : 0);
        std::this_thread::sleep_for(kPollPeriod);
    }
    for (auto& job : jobs) job->join();
    view.finish();

    const std::vector<PortOutcome> all = outcomes();
    if (several) streams.out.append("\n" + summaryTable(all));
    if (instrument) streams.error(instrument->stop());
    return exitStatus(all);
}

}  // namespace

int runJob(const Options& options, std::atomic<bool>& interrupted) {
    Streams streams;
    const int status = runJobs(options, interrupted, streams);
    // After Ctrl-C a stalled reader is not waited for: the process ends
    // without the writers, which may be blocked for good.
    if (!flushed(streams, interrupted)) std::_Exit(status);
    return status;
}

}  // namespace qelisp::cli
