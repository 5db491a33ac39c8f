#pragma once
// Where a run's jobs report: the console's text view or its JSON events.
// Every call but refresh and finish comes on a job's worker thread.
#include "cli/terminal/status_filter.h"
#include "jobs/failure_hint.h"
#include "jobs/job_runner.h"
#include "state/job_outcome.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelisp::cli {

// One finished job on one port.
struct JobRecord {
    JobKind job = JobKind::Program;
    JobResult result;
    std::string status;       // its last status text
    double seconds = 0;       // from its start to its end
    std::uint64_t lines = 0;  // command lines sent
    // What the answers waited beyond their time on the wire, on average
    // (an adapter's latency timer shows here), and over the whole job.
    double extraWaitMs = 0;
    double extraWaitSeconds = 0;
    // Whether the port is across a network: the extra wait is then the
    // round trip to the server. How many answers came in held-back pieces.
    bool network = false;
    std::uint64_t heldBackAnswers = 0;
    // A job that never ran (its port could not be used, or Ctrl-C came
    // first): why. Its result is then a failure at no step.
    FailureReason notRun = FailureReason::None;

    bool succeeded() const { return result.outcome == JobOutcome::Succeeded; }
    FailureReason reason() const { return notRun != FailureReason::None ? notRun : failureReason(job, result); }
};

class JobView {
public:
    virtual ~JobView() = default;
    // Port `port` begins `job`.
    virtual void started(std::size_t port, JobKind job) = 0;
    virtual void status(std::size_t port, const StatusChange& change) = 0;
    virtual void ended(std::size_t port, const JobRecord& record) = 0;
    // A job's end: the terminal bell, where there is one.
    virtual void beep() {}
    // The caller's poll, every 20 ms, like the window's timer. `columns`:
    // the terminal's width, 0 when unknown.
    virtual void refresh(int /*columns*/) {}
    // The run is over.
    virtual void finish() {}
};

const char* jobName(JobKind job);

}  // namespace qelisp::cli
