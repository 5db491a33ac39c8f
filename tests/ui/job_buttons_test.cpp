// The Program and Verify buttons.
#include "tests/ui/window_fixture.h"

namespace qelisp::test {
namespace {

class JobButtons : public WindowFixture {};

TEST_F(JobButtons, ProgramThenVerifyRunOnTheOpenPort) {
    startWindow({"COM1"});
    ASSERT_TRUE(window->startProgram(countingBeep()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->poll().status.rfind("Data Writed OK!  Time Elapsed ", 0), 0u) << window->poll().status;

    ASSERT_TRUE(window->startVerify(countingBeep()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->poll().status.rfind("Data Verify OK!  Time Elapsed ", 0), 0u) << window->poll().status;
    EXPECT_EQ(beeps, 2) << "each job ends with the front end's beep";
}

TEST_F(JobButtons, SecondClickWhileBusyIsDropped) {
    startWindow({"COM1"});
    ASSERT_TRUE(startHeldProgram());

    EXPECT_FALSE(window->startVerify(countingBeep()));
    EXPECT_FALSE(window->startProgram(countingBeep()));

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(loader.handshakes, 1) << "only the first job talked to the loader";
    EXPECT_EQ(window->poll().status.rfind("Data Writed OK!", 0), 0u) << window->poll().status;
    EXPECT_EQ(beeps, 1);
}

TEST_F(JobButtons, WithNoPortOpenTheButtonsStillStartJobsThatEndWithAConnectingError) {
    ports->heldElsewhere.insert("COM1");
    startWindow({"COM1"});  // no port is open now
    ASSERT_TRUE(window->startProgram(countingBeep()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->poll().status, "Connecting Error!") << "a closed port must not be used";

    ASSERT_TRUE(window->startVerify(countingBeep()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->poll().status, "Connecting Error11!");
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(loader.handshakes, 0);
}

}  // namespace
}  // namespace qelisp::test
