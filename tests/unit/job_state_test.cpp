#include "state/job_state.h"
#include "jobs/job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace qelisp {
namespace {

// Run under the tsan preset this also proves the hand-over is race free; in
// any build it proves no reader ever sees a mixture of two texts.
TEST(JobState, StatusIsNeverReadTorn) {
    JobState state;
    const std::string a(200, 'a');
    const std::string b(300, 'b');
    std::atomic<bool> stop{false};
    std::atomic<long> writes{0};
    std::thread writer([&] {
        for (long i = 0; !stop; ++i) {
            state.setStatus(i % 2 ? a : b);
            writes = i + 1;
        }
    });
    // Keep reading until the writer has really raced us for a while.
    for (long i = 0; i < 20000 || writes < 20000; ++i) {
        std::string seen = state.status();
        if (!(seen.empty() || seen == a || seen == b)) {
            stop = true;
            writer.join();
            FAIL() << "torn read: " << seen.substr(0, 20);
        }
    }
    stop = true;
    writer.join();
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
