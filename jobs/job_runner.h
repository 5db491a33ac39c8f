#pragma once
// The one way a front end runs and stops a job: by its kind, on a worker
// thread, cancelled with a grace period.
#include "jobs/job_context.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace qelisp {

enum class JobKind : std::uint8_t { Program, Verify };

// How long a cancelled job gets to end before the front end lets go of it,
// as long as a closing window waits.
inline constexpr std::chrono::milliseconds kCancelGrace{300};

// Runs the job of `kind` on this thread.
int RunJob(JobKind kind, JobContext& context);

// Runs one job at a time. Busy is set here, before the thread starts, so the
// worker's clearing of it always comes after.
class JobRunner {
public:
    JobRunner() = default;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;
    // Waits for a job that is still running. A front end cancels and gives
    // a running job its grace period (stop) before it gets here.
    ~JobRunner();

    // Starts the job of `kind` over `session` on a new thread unless one is
    // running (busy set): then the request is dropped and false returned.
    // The worker holds `keepAlive` until it returns, so what the session
    // points into outlives a job that is let go of.
    bool start(JobKind kind, Session session, const FirmwareImage& image, BeepHook beep,
               std::shared_ptr<const void> keepAlive = nullptr);

    // Starts `job` as above.
    bool start(JobState& state, std::function<void()> job);

    // Sets the running job's cancel flag.
    void cancel();
    // Waits until the job has ended or `deadline` has passed. True when it
    // ended (and its thread is joined).
    bool awaitEnd(std::chrono::steady_clock::time_point deadline);
    // cancel, then awaitEnd within `grace`; a job that did not end is let go
    // of (the process is about to end and takes it along). True when it ended.
    bool stop(std::chrono::milliseconds grace = kCancelGrace);

    // Waits until the last job's thread has returned.
    void join();

    // Lets go of a job that did not finish in its grace period; the process is
    // about to end and takes the thread with it.
    void abandon();

private:
    JobState* state_ = nullptr;  // the running or last job's
    std::thread worker_;
};

}  // namespace qelisp
