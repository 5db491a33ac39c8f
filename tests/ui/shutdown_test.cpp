// The end of the application: cancel, a 300 ms grace, then let go.
#include "tests/ui/window_fixture.h"

namespace qelisp::test {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

class Shutdown : public WindowFixture {};

TEST_F(Shutdown, IdleWindowEndsAtOnceAndSetsCancel) {
    startWindow({"COM1"});
    auto started = SteadyClock::now();
    EXPECT_TRUE(window->shutdown());
    EXPECT_LT(SteadyClock::now() - started, 100ms);
    EXPECT_TRUE(window->jobState().cancel.load());
}

TEST_F(Shutdown, HungJobIsLeftAfterTheGraceAndSeesTheCancelWhenItWakes) {
    startWindow({"COM1"});
    ASSERT_TRUE(startHeldProgram());

    auto started = SteadyClock::now();
    EXPECT_FALSE(window->shutdown()) << "the job cannot have ended: it is held in a read";
    auto took = SteadyClock::now() - started;
    EXPECT_GE(took, 280ms);
    EXPECT_LT(took, 1000ms);
    EXPECT_TRUE(window->busy());

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->poll().status, "User Canceled") << "the worker saw the cancel flag";
}

TEST_F(Shutdown, JobThatStopsWithinTheGraceIsWaitedFor) {
    startWindow({"COM1"});
    ASSERT_TRUE(startHeldProgram());

    std::thread waker([this] {
        std::this_thread::sleep_for(50ms);
        ports->gate.release();
    });
    auto started = SteadyClock::now();
    EXPECT_TRUE(window->shutdown());
    auto took = SteadyClock::now() - started;
    waker.join();
    EXPECT_LT(took, 280ms) << "no need to sit out the grace once the job is gone";
    EXPECT_FALSE(window->busy());
    EXPECT_EQ(window->poll().status, "User Canceled");
}

TEST_F(Shutdown, AbandonedJobOutlivesTheWindowSafely) {
    startWindow({"COM1"});
    std::atomic<bool> ended{false};
    ASSERT_TRUE(startHeldProgram([&ended] { ended = true; }));
    EXPECT_FALSE(window->shutdown(50ms));

    // The application ends here; the worker still holds the port and state.
    window.reset();
    EXPECT_EQ(ports->events().size(), 1u) << "the running job's port was closed under it";
    ports->gate.release();

    auto deadline = SteadyClock::now() + 5s;
    while (!ended && SteadyClock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(ended);
    // Once the worker is done with it, the port is closed.
    deadline = SteadyClock::now() + 5s;
    while (ports->events().size() < 2 && SteadyClock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(ports->events().back(), "close COM1");
}

}  // namespace
}  // namespace qelisp::test
