#include "cli/run/run_job.h"

#include "cli/ports/port_waiter.h"
#include "cli/records/image_info.h"
#include "cli/records/unused_port.h"
#include "cli/records/wait_note.h"
#include "cli/run/chosen_ports.h"
#include "cli/run/port_job.h"
#include "cli/run/run_streams.h"
#include "cli/run/run_view.h"
#include "cli/run/stop_signals.h"
#include "cli/terminal/console.h"
#include "image/firmware_image.h"
#include "link/port.h"
#include "link/printable_name.h"
#include "program_version.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace qelisp::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollPeriod = std::chrono::milliseconds(20);

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

// After a run: the ports whose answers waited well beyond the wire on a USB
// adapter, together in one note, and every network port's round trip, with
// what it cost and what to change. The JSON events keep one per port.
void waitNotes(const std::vector<std::unique_ptr<PortJob>>& jobs, JsonEvents* events, Streams& streams) {
    std::vector<PortWaits> ports;
    for (const auto& job : jobs) ports.push_back(job ? PortWaits{job->port(), job->records()} : PortWaits{});
    const RunWaitNotes notes = runWaitNotes(ports, listPorts, adapterLatencyAdvice);
    if (!events) {
        for (const std::string& line : notes.lines) streams.error(line);
        return;
    }
    for (std::size_t i = 0; i < notes.ports.size(); ++i) {
        if (notes.ports[i]) events->waitNote(i, *notes.ports[i]);
    }
}

// One run of program or verify, stage by stage: the log, the ports, opening
// or waiting for them, the jobs until they end, and the sum.
class Run {
public:
    Run(const Options& options, std::atomic<bool>& interrupted, Streams& streams)
        : options_(options),
          interrupted_(interrupted),
          streams_(streams),
          image_(embeddedImage()),
          identity_(runIdentity(QELISP_PROGRAM_VERSION, summarize(image_))) {}

    int run() {
        if (auto status = openLog()) return *status;
        if (auto status = choosePorts(options_, interrupted_, streams_, instrument_, ports_)) return *status;
        openOrWait();
        view_ = makeRunView(options_, ports_, pageSpan(image_), identity_, log_.get(), waiting_, streams_);
        if (view_.live) streams_.drawErrorsAbove(view_.console.get());
        startJobs();
        runUntilDone();
        endWhatNeverRan();
        streams_.drawErrorsAbove(nullptr);
        return sumUp();
    }

private:
    JobView& view() { return *view_.view; }

    // Before any port is opened or searched: a log that is no file (a FIFO,
    // another instrument's serial line) ends the run with nothing sent.
    std::optional<int> openLog() {
        if (options_.logPath.empty()) return std::nullopt;
        std::string error;
        log_ = ResultLog::open(options_.logPath, identity_, error);
        if (log_) return std::nullopt;
        streams_.error("--log " + printableName(options_.logPath) + ": " + error);
        return kExitUsage;
    }

    // Each port waits for its own instrument, or is opened now.
    void openOrWait() {
        waiting_ = options_.waitSeconds > 0 && !options_.autoPort();
        waiters_.resize(ports_.size());
        if (!waiting_) {
            openPorts(ports_, options_.lineTiming, streams_);
            return;
        }
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            streams_.error("waiting up to " + std::to_string(options_.waitSeconds) + " s for the instrument on " +
                           printableName(ports_[i].name) + " (switch it on in its loader; Ctrl-C stops)");
            waiters_[i] = std::make_unique<PortWaiter>(ports_[i].name, std::chrono::seconds(options_.waitSeconds),
                                                       options_.lineTiming, interrupted_);
        }
    }

    void startJobs() {
        plan_ = {options_.command == Command::Verify ? JobKind::Verify : JobKind::Program};
        if (options_.thenVerify) plan_.push_back(JobKind::Verify);
        jobs_.resize(ports_.size());
        over_.assign(ports_.size(), false);
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            if (ports_[i].reason != FailureReason::None) endUnused(i, ports_[i].reason);
        }
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            if (!waiting_ && ports_[i].link) startJob(i);
        }
    }

    void startJob(std::size_t i) {
        const std::string prefix = ports_.size() > 1 ? printableName(ports_[i].name) + ": " : "";
        jobs_[i] = std::make_unique<PortJob>(ports_[i].name, std::move(ports_[i].link),
                                             options_.trace ? &streams_.errors : nullptr, prefix);
        jobs_[i]->start(plan_, image_, view(), i);
    }

    // A port whose jobs never run ends each of them all the same: the events
    // and the log name every port given.
    void endUnused(std::size_t i, FailureReason reason) {
        if (over_[i]) return;
        over_[i] = true;
        if (ports_[i].failure.empty()) ports_[i].failure = kNotRun;
        for (JobKind job : plan_) view().ended(i, notRunRecord(job, reason, ports_[i].failure));
    }

    void runUntilDone() {
        for (;;) {
            if (interrupted_.load() && !cancelled_) cancelAll();
            bool active = false;
            for (std::size_t i = 0; i < ports_.size(); ++i) {
                // A waiter sees Ctrl-C within 50 ms.
                if (waiters_[i] && !waiters_[i]->done()) {
                    active = true;
                    continue;
                }
                if (waiters_[i]) takeWaited(i);
                // A cancelled port starts nothing more.
                if (jobs_[i] && jobs_[i]->poll()) active = true;
            }
            if (!active) break;
            view().refresh(view_.live ? terminalColumns() : 0);
            std::this_thread::sleep_for(kPollPeriod);
        }
        for (auto& job : jobs_) {
            if (job) job->join();
        }
    }

    void cancelAll() {
        cancelled_ = true;
        for (auto& job : jobs_) {
            if (job) job->cancel();
        }
        // One grace period for all of them, as a closing window gives its one job.
        const auto deadline = Clock::now() + kCancelGrace;
        bool ended = true;
        for (auto& job : jobs_) ended = (!job || job->awaitEnd(deadline)) && ended;
        if (ended) return;
        // Like a closed window: the jobs had their grace period; the process
        // ends and takes the workers with it.
        view().finish();
        streams_.error("interrupted; a job did not stop within 300 ms");
        flushed(streams_, interrupted_);
        std::_Exit(stopExitStatus());
    }

    // A waiter that is done: its port's job starts, or the port ends unused.
    void takeWaited(std::size_t i) {
        RunPort& port = ports_[i];
        port.link = waiters_[i]->takeLink();
        const std::string seconds = std::to_string(options_.waitSeconds) + " s";
        const std::string waited = ": no instrument answered in " + seconds + " of waiting";
        // A waiter that saw Ctrl-C before this loop did ended for it.
        if (cancelled_ || interrupted_.load()) {
            endUnused(i, FailureReason::NotStarted);
        } else if (!port.link) {
            const std::string why = openFailure(port.name, waiters_[i]->failure());
            port.failure = why + " (waited " + seconds + ")";
            const FailureReason reason = openReason(waiters_[i]->error(), true);
            streams_.error(printableName(port.name) + waited + ": " + why);
            streams_.hint(port.name, reason);
            endUnused(i, reason);
        } else {
            if (!waiters_[i]->answered()) {
                streams_.error(printableName(port.name) + waited + "; its job tries once more");
            }
            startJob(i);
        }
        waiters_[i].reset();
    }

    // What Ctrl-C kept from starting: a port's jobs, or the verify after a
    // programming that succeeded.
    void endWhatNeverRan() {
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            if (!jobs_[i]) {
                endUnused(i, FailureReason::NotStarted);
                continue;
            }
            const std::vector<JobRecord> records = jobs_[i]->records();
            if (records.empty() || !records.back().succeeded()) continue;
            for (std::size_t k = records.size(); k < plan_.size(); ++k) {
                view().ended(i, notRunRecord(plan_[k], FailureReason::NotStarted, kNotRun));
            }
        }
        view().finish();
    }

    int sumUp() {
        std::vector<PortOutcome> all;
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            if (jobs_[i]) {
                for (PortOutcome& row : jobs_[i]->outcomes()) all.push_back(std::move(row));
            } else {
                all.push_back({ports_[i].name, PortOutcome::Kind::NotOpened, ports_[i].failure, 0, {}});
            }
        }
        if (!options_.json && (ports_.size() > 1 || options_.thenVerify)) {
            streams_.out.append("\n" + summaryTable(all, options_.thenVerify, consoleTakesUtf8()));
        }
        waitNotes(jobs_, view_.events.get(), streams_);
        if (instrument_) streams_.error(instrument_->stop());
        if (interrupted_.load()) return kExitInterrupted;
        // program --verify: a port whose programming failed never verified.
        if (options_.thenVerify) {
            for (const auto& job : jobs_) {
                if (job && job->records().size() < plan_.size())
                    all.push_back({job->port(), PortOutcome::Kind::Failed, {}, 0, {}});
            }
        }
        const int status = exitStatus(all);
        // A record the log lacks is no success to a bench that keeps the log.
        return status == kExitOk && view_.logging && view_.logging->recordMissing() ? kExitJobFailed : status;
    }

    const Options& options_;
    std::atomic<bool>& interrupted_;
    Streams& streams_;
    const FirmwareImage& image_;
    // One identity for the events and the log alike.
    const RunIdentity identity_;
    std::unique_ptr<ResultLog> log_;
    std::unique_ptr<SimulatedInstrument> instrument_;
    std::vector<RunPort> ports_;
    bool waiting_ = false;
    std::vector<std::unique_ptr<PortWaiter>> waiters_;
    RunView view_;
    std::vector<JobKind> plan_;
    std::vector<std::unique_ptr<PortJob>> jobs_;
    std::vector<bool> over_;
    bool cancelled_ = false;
};

}  // namespace

int runJob(const Options& options, std::atomic<bool>& interrupted) {
    Streams streams;
    int status = Run(options, interrupted, streams).run();
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
