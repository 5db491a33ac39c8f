// How the Windows console's stop handler learns that the run is over: it
// ends the process then, with the run's status, and never before the run
// has said so, however long its limit.
#include "cli/run/run_end.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace qelisp::cli {
namespace {

using std::chrono::milliseconds;

TEST(RunEnd, TheHandlerEndsWithTheRunsStatusOnceTheRunIsOver) {
    enum class Run {
        OverBefore,     // the lines were written before the stop came
        OverMeanwhile,  // the run's thread says so while the handler waits
        NeverOver,      // a run stuck elsewhere: the limit ends the wait
    };
    struct Case {
        Run run;
        milliseconds limit;
        std::optional<int> status;
    };
    const Case cases[] = {
        {Run::OverBefore, milliseconds(0), 130},
        // An hour: a handler that sleeps out its limit, as a fixed wait
        // does, fails by the suite's time-out instead of passing.
        {Run::OverMeanwhile, std::chrono::hours(1), 130},
        {Run::NeverOver, milliseconds(0), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.run));
        RunEnd end;
        std::atomic<bool> written{false};
        std::thread run;
        if (c.run == Run::OverBefore) {
            written = true;
            end.over(130);
            end.over(0);  // only the first counts
        } else if (c.run == Run::OverMeanwhile) {
            run = std::thread([&] {
                written = true;
                end.over(130);
            });
        }
        EXPECT_EQ(end.await(c.limit), c.status);
        EXPECT_EQ(written.load(), c.status.has_value()) << "the handler went on before the lines were written";
        if (run.joinable()) run.join();
    }
}

}  // namespace
}  // namespace qelisp::cli
