#pragma once
// Starting a job on its worker thread and ending it.
#include "state/job_state.h"

#include <functional>
#include <thread>

namespace qelisp {

// Runs one job at a time. Busy is set here, before the thread starts, so the
// worker's clearing of it always comes after.
class JobRunner {
public:
    JobRunner() = default;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;
    // Waits for a job that is still running. The application shell sets
    // cancel and gives a running job its grace period before it gets here.
    ~JobRunner();

    // Starts `job` on a new thread unless one is running (busy set): then the
    // request is dropped and false returned.
    bool start(JobState& state, std::function<void()> job);

    // Waits until the last job's thread has returned.
    void join();

    // Lets go of a job that did not finish in its grace period; the process is
    // about to end and takes the thread with it.
    void abandon();

private:
    std::thread worker_;
};

// The sound a job makes when it ends; the default beep on Windows.
using BeepHook = std::function<void()>;

enum class EndKind {
    Normal,  // beep, progress back to 0, busy clear
    Silent,  // only busy clear: the early exits that leave the bar alone
};

// Every job's last step, after its final status text.
void EndJob(JobState& state, const BeepHook& beep, EndKind kind = EndKind::Normal);

}  // namespace qelisp
