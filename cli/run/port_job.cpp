#include "cli/run/port_job.h"

#include "jobs/failure_hint.h"

namespace qelisp::cli {

PortJob::PortJob(std::string port, std::unique_ptr<SerialLink> link, OutputQueue* trace, const std::string& tracePrefix)
    : port_(std::move(port)), link_(std::move(link)), meter_(*link_) {
    if (trace) tracer_ = std::make_unique<TracingLink>(meter_, *trace, tracePrefix);
}

PortJob::~PortJob() { runner_.join(); }

void PortJob::start(std::vector<JobKind> plan, const FirmwareImage& image, JobView& view, std::size_t index) {
    plan_ = std::move(plan);
    image_ = &image;
    view_ = &view;
    index_ = index;
    // Called on the worker, right after each change: the kind and the result
    // are the ones that came with the text.
    state_.setStatusListener([this](const std::string& text) {
        const StatusKind kind = state_.statusKind();
        const JobResult result = state_.result();
        std::string hint;
        JobKind job;
        {
            std::lock_guard lock(mutex_);
            job = kind_;
        }
        if (kind == StatusKind::Result) hint = hintText(failureReason(job, result), portPlace(port_));
        view_->status(index_, {text, kind, result.outcome == JobOutcome::Succeeded, state_.progress.load(), hint});
        if (kind == StatusKind::Result) view_->ended(index_, finishRecord(text, result));
    });
    startNext();
}

void PortJob::startNext() {
    const JobKind job = plan_[next_++];
    {
        std::lock_guard lock(mutex_);
        kind_ = job;
        started_ = Clock::now();
    }
    meter_.take();  // the counts start afresh with each job
    view_->started(index_, job);
    SerialLink* link = tracer_ ? static_cast<SerialLink*>(tracer_.get()) : &meter_;
    runner_.start(job, Session{link, state_, clock_}, *image_, [this] { view_->beep(); });
}

JobRecord PortJob::finishRecord(const std::string& text, const JobResult& result) {
    const MeteredLink::Figures figures = meter_.take();
    std::lock_guard lock(mutex_);
    JobRecord record;
    record.job = kind_;
    record.result = result;
    record.status = text;
    record.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    record.lines = figures.lines;
    record.extraWaitSeconds = figures.extraSeconds;
    record.extraWaitMs = figures.timedAnswers ? 1000.0 * figures.extraSeconds / figures.timedAnswers : 0;
    record.network = meter_.network();
    record.heldBackAnswers = figures.heldBackAnswers;
    records_.push_back(record);
    return record;
}

bool PortJob::poll() {
    if (busy()) return true;
    {
        // The worker recorded the job before it cleared busy.
        std::lock_guard lock(mutex_);
        const bool lastSucceeded = !records_.empty() && records_.back().succeeded();
        if (next_ >= plan_.size() || !lastSucceeded || cancelled_) return false;
    }
    startNext();
    return true;
}

void PortJob::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    runner_.cancel();
}

std::vector<JobRecord> PortJob::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<PortOutcome> PortJob::outcomes() const {
    std::lock_guard lock(mutex_);
    std::vector<PortOutcome> rows;
    for (const JobRecord& record : records_) {
        rows.push_back({port_, record.succeeded() ? PortOutcome::Kind::Succeeded : PortOutcome::Kind::Failed,
                        record.status, record.seconds, jobName(record.job)});
    }
    // A job still running (only when the run is cut short) is no success.
    if (records_.size() < next_) {
        rows.push_back({port_, PortOutcome::Kind::Failed, state_.status(),
                        std::chrono::duration<double>(Clock::now() - started_).count(), jobName(kind_)});
    }
    return rows;
}

}  // namespace qelisp::cli
