#include "cli/run/run_job.h"

#include "cli/ports/port_probe.h"
#include "cli/ports/port_waiter.h"
#include "cli/ports/same_port.h"
#include "cli/ports/simulated_instrument.h"
#include "cli/records/image_info.h"
#include "cli/records/json_events.h"
#include "cli/records/result_log.h"
#include "cli/records/unused_port.h"
#include "cli/records/wait_note.h"
#include "cli/run/port_job.h"
#include "cli/run/stop_signals.h"
#include "cli/terminal/console.h"
#include "cli/terminal/console_view.h"
#include "cli/terminal/output_queue.h"
#include "image/firmware_image.h"
#include "jobs/failure_hint.h"
#include "link/port.h"
#include "link/printable_name.h"
#include "program_version.h"

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
    // What to do about a port that could not be used, as a job's hint says it.
    void hint(const std::string& port, FailureReason reason) {
        error(printableName(port) + ": hint: " + std::string(hintText(reason, portPlace(port))));
    }
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

// The ports a job runs on, each with its link if it was opened; the order of
// the command line.
struct Port {
    std::string name;
    std::unique_ptr<SerialLink> link;
    std::string failure;  // when link is null: why, as the summary says it
    // Why it could not be used, once that is known: it is tried no more.
    FailureReason reason = FailureReason::None;
};

constexpr const char* kNotRun = "not run: interrupted";

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
        ports.push_back({instrument->portName(), nullptr, {}, FailureReason::None});
    } else if (options.autoPort()) {
        // With --wait the search is made again, once a second, until one
        // instrument answers or the time is up.
        const auto deadline = Clock::now() + std::chrono::seconds(options.waitSeconds);
        FoundInstrument found;
        for (bool first = true;; first = false) {
            const auto tried = Clock::now();
            const std::vector<std::string> candidates =
                options.autoCandidates ? *options.autoCandidates : enumeratePorts();
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
        if (!found.link) {
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
        streams.error("the instrument answers on " + printableName(found.port));
        ports.push_back({found.port, std::move(found.link), {}, FailureReason::None});
    } else {
        // Before any is opened: the second would find the port held by the
        // first, and "in use by another program" would send the user looking
        // for one.
        if (const std::string twice = samePortTwice(options.ports); !twice.empty()) {
            streams.error(twice);
            return kExitUsage;
        }
        for (const std::string& name : options.ports) ports.push_back({name, nullptr, {}, FailureReason::None});
    }
    return std::nullopt;
}

// Opens every port not open yet; a port that fails is reported with what to
// do, and keeps its reason.
void openPorts(std::vector<Port>& ports, LineTiming timing, Streams& streams) {
    for (Port& port : ports) {
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

// Forwards to the run's view and appends each finished job to the log.
class LoggingView final : public JobView {
public:
    LoggingView(JobView& inner, ResultLog& log, std::vector<LoggedPort> ports, Streams& streams)
        : inner_(inner), log_(log), ports_(std::move(ports)), streams_(streams) {}

    void started(std::size_t port, JobKind job) override { inner_.started(port, job); }
    void status(std::size_t port, const StatusChange& change) override { inner_.status(port, change); }
    void ended(std::size_t port, const JobRecord& record) override {
        inner_.ended(port, record);
        std::string error;
        if (port < ports_.size() && !log_.add(ports_[port], record, std::chrono::system_clock::now(), error)) {
            // The jobs go on; the exit status tells the bench at the end.
            missing_.store(true);
            streams_.error("--log: the record of " + printableName(ports_[port].name) + "'s " +
                           std::string(jobName(record.job)) + " job is missing: " + error);
        }
    }
    void beep() override { inner_.beep(); }
    void refresh(int columns) override { inner_.refresh(columns); }
    void finish() override { inner_.finish(); }

    bool recordMissing() const { return missing_.load(); }

private:
    JobView& inner_;
    ResultLog& log_;
    std::vector<LoggedPort> ports_;
    Streams& streams_;
    std::atomic<bool> missing_{false};
};

// What the log says of each port: the adapter's description and serial
// number where the system lists the port under the name given.
std::vector<LoggedPort> loggedPorts(const std::vector<Port>& ports) {
    const std::vector<PortInfo> known = listPorts();
    std::vector<LoggedPort> logged;
    for (const Port& port : ports) logged.push_back(loggedPort(port.name, known));
    return logged;
}

// After a run: the ports whose answers waited well beyond the wire (an
// adapter's latency timer most likely), and every network port's round trip,
// with what it cost and what to change.
void waitNotes(const std::vector<std::unique_ptr<PortJob>>& jobs, JsonEvents* events, Streams& streams) {
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i]) continue;
        const std::optional<WaitNote> note = waitNote(jobs[i]->records(), adapterLatencyAdvice());
        if (!note) continue;
        if (events) {
            events->waitNote(i, *note);
        } else {
            streams.error(printableName(jobs[i]->port()) + ": " + note->text +
                          (note->advice.empty() ? "" : ": " + note->advice));
        }
    }
}

int runJobs(const Options& options, std::atomic<bool>& interrupted, Streams& streams) {
    const FirmwareImage& image = embeddedImage();
    const RunIdentity identity = runIdentity(QELISP_PROGRAM_VERSION, summarize(image));
    // Before any port is opened or searched: a log that is no file (a FIFO,
    // another instrument's serial line) ends the run with nothing sent.
    std::unique_ptr<ResultLog> log;
    if (!options.logPath.empty()) {
        std::string error;
        log = ResultLog::open(options.logPath, identity, error);
        if (!log) {
            streams.error("--log " + printableName(options.logPath) + ": " + error);
            return kExitUsage;
        }
    }

    std::vector<Port> ports;
    std::unique_ptr<SimulatedInstrument> instrument;
    if (auto status = choosePorts(options, interrupted, streams, instrument, ports)) return *status;

    // Each port waits for its own instrument, or is opened now.
    const bool waiting = options.waitSeconds > 0 && !options.autoPort();
    std::vector<std::unique_ptr<PortWaiter>> waiters(ports.size());
    if (waiting) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            streams.error("waiting up to " + std::to_string(options.waitSeconds) + " s for the instrument on " +
                          printableName(ports[i].name) + " (switch it on in its loader; Ctrl-C stops)");
            waiters[i] = std::make_unique<PortWaiter>(ports[i].name, std::chrono::seconds(options.waitSeconds),
                                                      options.lineTiming, interrupted);
        }
    } else {
        openPorts(ports, options.lineTiming, streams);
    }
    const bool several = ports.size() > 1;

    std::vector<std::string> names;
    for (const Port& port : ports) names.push_back(port.name);
    ConsoleView::Setup setup;
    // Traced lines on stderr would tear the live lines apart.
    setup.live = !options.json && !options.trace && !options.quiet && stdoutIsTerminal() && enableTerminalSequences();
    setup.allLines = options.allLines;
    setup.quiet = options.quiet;
    setup.columns = setup.live ? terminalColumns() : 0;
    setup.pages = pageSpan(image);
    std::unique_ptr<JsonEvents> events;
    std::unique_ptr<ConsoleView> console;
    JobView* view = nullptr;
    // The system's word on each adapter, for the events and the records.
    std::vector<LoggedPort> described;
    if (options.json || log) described = loggedPorts(ports);
    if (options.json) {
        events = std::make_unique<JsonEvents>(streams.out, described, identity, setup.pages);
        view = events.get();
        if (waiting) {
            for (std::size_t i = 0; i < ports.size(); ++i) events->waiting(i, options.waitSeconds);
        }
    } else {
        console = std::make_unique<ConsoleView>(streams.out, names, setup);
        view = console.get();
    }
    std::unique_ptr<LoggingView> logging;
    if (log) {
        logging = std::make_unique<LoggingView>(*view, *log, described, streams);
        view = logging.get();
    }

    std::vector<JobKind> plan{options.command == Command::Verify ? JobKind::Verify : JobKind::Program};
    if (options.thenVerify) plan.push_back(JobKind::Verify);
    std::vector<std::unique_ptr<PortJob>> jobs(ports.size());
    // A port whose jobs never run ends each of them all the same: the events
    // and the log name every port given.
    std::vector<bool> over(ports.size(), false);
    auto endUnused = [&](std::size_t i, FailureReason reason) {
        if (over[i]) return;
        over[i] = true;
        if (ports[i].failure.empty()) ports[i].failure = kNotRun;
        for (JobKind job : plan) view->ended(i, notRunRecord(job, reason, ports[i].failure));
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].reason != FailureReason::None) endUnused(i, ports[i].reason);
    }
    auto startJob = [&](std::size_t i) {
        const std::string prefix = several ? printableName(ports[i].name) + ": " : "";
        jobs[i] = std::make_unique<PortJob>(ports[i].name, std::move(ports[i].link),
                                            options.trace ? &streams.errors : nullptr, prefix);
        jobs[i]->start(plan, image, *view, i);
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (!waiting && ports[i].link) startJob(i);
    }

    bool cancelled = false;
    for (;;) {
        if (interrupted.load() && !cancelled) {
            cancelled = true;
            for (auto& job : jobs) {
                if (job) job->cancel();
            }
            // One grace period for all of them, as a closing window gives its one job.
            const auto deadline = Clock::now() + kCancelGrace;
            bool ended = true;
            for (auto& job : jobs) ended = (!job || job->awaitEnd(deadline)) && ended;
            if (!ended) {
                // Like a closed window: the jobs had their grace period; the
                // process ends and takes the workers with it.
                view->finish();
                streams.error("interrupted; a job did not stop within 300 ms");
                flushed(streams, interrupted);
                std::_Exit(stopExitStatus());
            }
        }
        bool active = false;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if (waiters[i]) {
                // A waiter sees Ctrl-C within 50 ms.
                if (!waiters[i]->done()) {
                    active = true;
                    continue;
                }
                ports[i].link = waiters[i]->takeLink();
                const std::string seconds = std::to_string(options.waitSeconds) + " s";
                const std::string waited = ": no instrument answered in " + seconds + " of waiting";
                // A waiter that saw Ctrl-C before this loop did ended for it.
                if (cancelled || interrupted.load()) {
                    endUnused(i, FailureReason::NotStarted);
                } else if (!ports[i].link) {
                    const std::string why = openFailure(ports[i].name, waiters[i]->failure());
                    ports[i].failure = why + " (waited " + seconds + ")";
                    const FailureReason reason = openReason(waiters[i]->error(), true);
                    streams.error(printableName(ports[i].name) + waited + ": " + why);
                    streams.hint(ports[i].name, reason);
                    endUnused(i, reason);
                } else {
                    if (!waiters[i]->answered()) {
                        streams.error(printableName(ports[i].name) + waited + "; its job tries once more");
                    }
                    startJob(i);
                }
                waiters[i].reset();
            }
            // A cancelled port starts nothing more.
            if (jobs[i] && jobs[i]->poll()) active = true;
        }
        if (!active) break;
        view->refresh(setup.live ? terminalColumns() : 0);
        std::this_thread::sleep_for(kPollPeriod);
    }
    for (auto& job : jobs) {
        if (job) job->join();
    }
    // What Ctrl-C kept from starting: a port's jobs, or the verify after a
    // programming that succeeded.
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (!jobs[i]) {
            endUnused(i, FailureReason::NotStarted);
            continue;
        }
        const std::vector<JobRecord> records = jobs[i]->records();
        if (records.empty() || !records.back().succeeded()) continue;
        for (std::size_t k = records.size(); k < plan.size(); ++k) {
            view->ended(i, notRunRecord(plan[k], FailureReason::NotStarted, kNotRun));
        }
    }
    view->finish();

    std::vector<PortOutcome> all;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (jobs[i]) {
            for (PortOutcome& row : jobs[i]->outcomes()) all.push_back(std::move(row));
        } else {
            all.push_back({ports[i].name, PortOutcome::Kind::NotOpened, ports[i].failure, 0, {}});
        }
    }
    if (!options.json && (several || options.thenVerify)) {
        streams.out.append("\n" + summaryTable(all, options.thenVerify));
    }
    waitNotes(jobs, events.get(), streams);
    if (instrument) streams.error(instrument->stop());
    if (interrupted.load()) return kExitInterrupted;
    // program --verify: a port whose programming failed never verified.
    if (options.thenVerify) {
        for (const auto& job : jobs) {
            if (job && job->records().size() < plan.size())
                all.push_back({job->port(), PortOutcome::Kind::Failed, {}, 0, {}});
        }
    }
    const int status = exitStatus(all);
    // A record the log lacks is no success to a bench that keeps the log.
    return status == kExitOk && logging && logging->recordMissing() ? kExitJobFailed : status;
}

}  // namespace

int runJob(const Options& options, std::atomic<bool>& interrupted) {
    Streams streams;
    int status = runJobs(options, interrupted, streams);
    // After Ctrl-C a stalled reader is not waited for: the process ends
    // without the writers, which may be blocked for good.
    const bool written = flushed(streams, interrupted);
    // A stop that came while the output drained ends the run as much as one
    // during a job: the signal says the exit status.
    if (interrupted.load()) status = stopExitStatus();
    runOver(status);
    if (!written) std::_Exit(status);
    return status;
}

}  // namespace qelisp::cli
