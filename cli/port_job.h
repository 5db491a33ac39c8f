#pragma once
// One job on one port, with everything of its own: the link, the job state,
// the clock and the worker thread. Several run side by side and share
// nothing but the console view.
#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/job_summary.h"
#include "cli/tracing_link.h"
#include "image/firmware_image.h"
#include "jobs/job_runner.h"
#include "state/clock.h"
#include "state/job_state.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace qelisp::cli {

class PortJob {
public:
    // `trace`: where --trace shows the conversation, null without it;
    // `tracePrefix`: what each traced line starts with.
    PortJob(std::string port, std::unique_ptr<SerialLink> link, OutputQueue* trace, const std::string& tracePrefix);
    PortJob(const PortJob&) = delete;
    PortJob& operator=(const PortJob&) = delete;
    ~PortJob();

    // Runs the job of `kind` on the worker; every status goes to `view` as
    // line `index`.
    void start(JobKind kind, const FirmwareImage& image, ConsoleView& view, std::size_t index);
    bool busy() const { return state_.busy.load(); }
    void cancel() { runner_.cancel(); }
    // Waits for the job to end, until `deadline`; true when it did.
    bool awaitEnd(std::chrono::steady_clock::time_point deadline) { return runner_.awaitEnd(deadline); }
    // Waits for the worker; the job has ended (busy clear) or is about to.
    void join() { runner_.join(); }

    // How it went, so far if it still runs.
    PortOutcome outcome() const;

private:
    using Clock = std::chrono::steady_clock;

    std::string port_;
    JobKind kind_ = JobKind::Program;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<TracingLink> tracer_;
    JobState state_;
    SystemClock clock_;
    JobRunner runner_;
    Clock::time_point started_{};
    std::atomic<Clock::rep> ended_{0};  // ticks of Clock since its epoch; 0 while it runs
};

}  // namespace qelisp::cli
