#include "cli/port_job.h"

#include "cli/status_filter.h"
#include "jobs/program_job.h"
#include "jobs/verify_job.h"

namespace qelisp::cli {

PortJob::PortJob(std::string port, std::unique_ptr<SerialLink> link, OutputQueue* trace, const std::string& tracePrefix)
    : port_(std::move(port)), link_(std::move(link)) {
    if (trace) tracer_ = std::make_unique<TracingLink>(*link_, *trace, tracePrefix);
}

PortJob::~PortJob() { runner_.join(); }

void PortJob::start(Command command, const FirmwareImage& image, ConsoleView& view, std::size_t index) {
    command_ = command;
    SerialLink* link = tracer_ ? static_cast<SerialLink*>(tracer_.get()) : link_.get();
    state_.setStatusListener(
        [this, &view, index](const std::string& text) { view.status(index, text, state_.progress.load()); });
    context_ = std::make_unique<JobContext>(Session{link, state_, clock_}, image, [&view] { view.beep(); });
    started_ = Clock::now();
    runner_.start(state_, [this] {
        command_ == Command::Program ? ProgramJob(*context_) : VerifyJob(*context_);
        ended_.store(Clock::now().time_since_epoch().count());
    });
}

PortOutcome PortJob::outcome() const {
    PortOutcome o;
    o.port = port_;
    o.result = state_.status();
    o.kind = isSuccessStatus(o.result) ? PortOutcome::Kind::Succeeded : PortOutcome::Kind::Failed;
    const Clock::rep ended = ended_.load();
    const Clock::time_point end = ended ? Clock::time_point(Clock::duration(ended)) : Clock::now();
    o.seconds = std::chrono::duration<double>(end - started_).count();
    return o;
}

}  // namespace qelisp::cli
