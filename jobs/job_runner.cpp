#include "jobs/job_runner.h"

namespace qelisp {

JobRunner::~JobRunner() { join(); }

bool JobRunner::start(JobState& state, std::function<void()> job) {
    if (state.busy.load()) return false;
    state.busy.store(true);
    // The previous worker cleared busy as its last act; its thread is at most
    // a return statement away from done.
    join();
    worker_ = std::thread(std::move(job));
    return true;
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
