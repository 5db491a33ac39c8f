#include "jobs/job_runner.h"

#include "jobs/program_job.h"
#include "jobs/verify_job.h"

namespace qelisp {

int RunJob(JobKind kind, JobContext& context) {
    return kind == JobKind::Program ? ProgramJob(context) : VerifyJob(context);
}

JobRunner::~JobRunner() { join(); }

bool JobRunner::start(JobKind kind, Session session, const FirmwareImage& image, BeepHook beep,
                      std::shared_ptr<const void> keepAlive) {
    return start(session.state, [kind, session, &image, beep = std::move(beep), keepAlive = std::move(keepAlive)] {
        JobContext context{session, image, beep};
        RunJob(kind, context);
    });
}

bool JobRunner::start(JobState& state, std::function<void()> job) {
    if (state.busy.load()) return false;
    state.busy.store(true);
    state.setResult({});
    state_ = &state;
    // The previous worker cleared busy as its last act; its thread is at most
    // a return statement away from done.
    join();
    worker_ = std::thread(std::move(job));
    return true;
}

void JobRunner::cancel() {
    if (state_ != nullptr) state_->cancel.store(true);
}

bool JobRunner::awaitEnd(std::chrono::steady_clock::time_point deadline) {
    // Jobs look at the cancel flag between records and in every wait, so a
    // cancelled job is normally gone well within the grace period.
    while (state_ != nullptr && state_->busy.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (state_ != nullptr && state_->busy.load()) return false;
    join();
    return true;
}

bool JobRunner::stop(std::chrono::milliseconds grace) {
    cancel();
    if (awaitEnd(std::chrono::steady_clock::now() + grace)) return true;
    abandon();
    return false;
}

void JobRunner::join() {
    if (worker_.joinable()) worker_.join();
}

void JobRunner::abandon() {
    if (worker_.joinable()) worker_.detach();
}

void EndJob(JobState& state, const BeepHook& beep, EndKind kind) {
    if (kind == EndKind::Normal) {
        if (beep) beep();
        state.progress.store(0);
    }
    state.busy.store(false);
}

}  // namespace qelisp
