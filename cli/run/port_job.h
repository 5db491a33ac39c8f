#pragma once
// The jobs on one port, with everything of their own: the link, the job
// state, the clock and the worker thread. Several ports run side by side and
// share nothing but the view. A port's plan is one job, or programming and
// then, if it succeeded, verifying (`program --verify`).
#include "cli/records/job_summary.h"
#include "cli/run/metered_link.h"
#include "cli/run/tracing_link.h"
#include "cli/terminal/job_view.h"
#include "image/firmware_image.h"
#include "jobs/job_runner.h"
#include "state/clock.h"
#include "state/job_state.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qelisp::cli {

class PortJob {
public:
    // `trace`: where --trace shows the conversation, null without it;
    // `tracePrefix`: what each traced line starts with.
    PortJob(std::string port, std::unique_ptr<SerialLink> link, OutputQueue* trace, const std::string& tracePrefix);
    PortJob(const PortJob&) = delete;
    PortJob& operator=(const PortJob&) = delete;
    ~PortJob();

    // Runs the first job of `plan` on the worker; everything goes to `view`
    // as port `index`.
    void start(std::vector<JobKind> plan, const FirmwareImage& image, JobView& view, std::size_t index);
    // The caller's poll: starts the plan's next job once the one before has
    // succeeded. False when the plan is done (or ended with a failure).
    bool poll();
    bool busy() const { return state_.busy.load(); }
    void cancel();
    // Waits for the job to end, until `deadline`; true when it did.
    bool awaitEnd(std::chrono::steady_clock::time_point deadline) { return runner_.awaitEnd(deadline); }
    // Waits for the worker; the job has ended (busy clear) or is about to.
    void join() { runner_.join(); }

    const std::string& port() const { return port_; }
    // The jobs that have ended, in order.
    std::vector<JobRecord> records() const;
    // The summary's rows: one per job that ran, and the one still running.
    std::vector<PortOutcome> outcomes() const;

private:
    using Clock = std::chrono::steady_clock;

    void startNext();
    // On the worker, with the job's last status text.
    JobRecord finishRecord(const std::string& text, const JobResult& result);

    std::string port_;
    std::unique_ptr<SerialLink> link_;
    MeteredLink meter_;
    std::unique_ptr<TracingLink> tracer_;
    JobState state_;
    SystemClock clock_;
    JobRunner runner_;

    std::vector<JobKind> plan_;
    std::size_t next_ = 0;  // the plan's next job to start
    const FirmwareImage* image_ = nullptr;
    JobView* view_ = nullptr;
    std::size_t index_ = 0;
    bool cancelled_ = false;

    mutable std::mutex mutex_;  // guards what the worker and the poll both touch
    JobKind kind_ = JobKind::Program;
    Clock::time_point started_{};
    std::vector<JobRecord> records_;
};

}  // namespace qelisp::cli
