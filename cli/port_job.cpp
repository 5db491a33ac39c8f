#include "cli/port_job.h"

#include "jobs/failure_hint.h"

namespace qelisp::cli {

PortJob::PortJob(std::string port, std::unique_ptr<SerialLink> link, OutputQueue* trace, const std::string& tracePrefix)
    : port_(std::move(port)), link_(std::move(link)) {
    if (trace) tracer_ = std::make_unique<TracingLink>(*link_, *trace, tracePrefix);
}

PortJob::~PortJob() { runner_.join(); }

void PortJob::start(JobKind kind, const FirmwareImage& image, ConsoleView& view, std::size_t index) {
    SerialLink* link = tracer_ ? static_cast<SerialLink*>(tracer_.get()) : link_.get();
    // Called on the worker, right after each change: the kind and the result
    // are the ones that came with the text.
    state_.setStatusListener([this, &view, index](const std::string& text) {
        const StatusKind kind = state_.statusKind();
        const JobResult result = state_.result();
        const bool succeeded = result.outcome == JobOutcome::Succeeded;
        std::string hint;
        if (kind == StatusKind::Result) {
            ended_.store(Clock::now().time_since_epoch().count());
            hint = hintText(failureReason(kind_, result));
        }
        view.status(index, {text, kind, succeeded, state_.progress.load(), std::move(hint)});
    });
    kind_ = kind;
    started_ = Clock::now();
    runner_.start(kind, Session{link, state_, clock_}, image, [&view] { view.beep(); });
}

PortOutcome PortJob::outcome() const {
    PortOutcome o;
    o.port = port_;
    o.result = state_.status();
    o.kind =
        state_.result().outcome == JobOutcome::Succeeded ? PortOutcome::Kind::Succeeded : PortOutcome::Kind::Failed;
    const Clock::rep ended = ended_.load();
    const Clock::time_point end = ended ? Clock::time_point(Clock::duration(ended)) : Clock::now();
    o.seconds = std::chrono::duration<double>(end - started_).count();
    return o;
}

}  // namespace qelisp::cli
