#include "state/job_state.h"
#include "jobs/job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace qelisp {
namespace {

// Run under the tsan preset this also proves the hand-over is race free; in
// any build it proves no reader ever sees a mixture of two values. Each row
// writes one of two values over and over while this thread reads.
TEST(JobState, StatusAndResultAreNeverReadTorn) {
    const std::string a(200, 'a');
    const std::string b(300, 'b');
    const JobResult failed{JobOutcome::Failed, JobStep::DataRecord, FailureCause::NoAnswer};
    const JobResult cancelled{JobOutcome::Cancelled, JobStep::Handshake, FailureCause::None};
    struct Case {
        const char* what;
        std::function<void(JobState&, bool)> write;
        std::function<bool(const JobState&)> readWhole;  // false: a mixture
    };
    const Case cases[] = {
        {"status", [&](JobState& state, bool odd) { state.setStatus(odd ? a : b); },
         [&](const JobState& state) {
             const std::string seen = state.status();
             return seen.empty() || seen == a || seen == b;
         }},
        {"result", [&](JobState& state, bool odd) { state.setResult(odd ? failed : cancelled); },
         [&](const JobState& state) {
             const JobResult seen = state.result();
             return seen == JobResult{} || seen == failed || seen == cancelled;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JobState state;
        std::atomic<bool> stop{false};
        std::atomic<long> writes{0};
        std::thread writer([&] {
            for (long i = 0; !stop; ++i) {
                c.write(state, i % 2 != 0);
                writes = i + 1;
            }
        });
        // Keep reading until the writer has really raced us for a while.
        bool whole = true;
        for (long i = 0; whole && (i < 20000 || writes < 20000); ++i) whole = c.readWhole(state);
        stop = true;
        writer.join();
        EXPECT_TRUE(whole) << "a torn read";
    }
}

TEST(JobRunner, SecondStartWhileBusyIsDropped) {
    JobState state;
    JobRunner runner;
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    auto job = [&] {
        ++runs;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EndJob(state, nullptr);
    };
    ASSERT_TRUE(runner.start(state, job));
    EXPECT_TRUE(state.busy) << "busy is set before the worker runs";
    EXPECT_FALSE(runner.start(state, job));
    release = true;
    runner.join();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(state.busy);
    EXPECT_TRUE(runner.start(state, job)) << "a finished job makes room for the next";
    runner.join();
    EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace qelisp
