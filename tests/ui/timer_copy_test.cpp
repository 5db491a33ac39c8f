// What the 20 ms timer copies onto the screen.
#include "tests/ui/window_fixture.h"

namespace qelisp::test {
namespace {

using namespace std::chrono_literals;

class TimerCopy : public WindowFixture {};

TEST_F(TimerCopy, ShowsTheWorkersLiveStatusAndProgressMidJob) {
    startWindow({"COM1"});
    // Hold the job in the acknowledgement read of the record for 0x3000.
    ports->gate.arm(":80300000");
    ASSERT_TRUE(window->startProgram(countingBeep()));
    ASSERT_TRUE(ports->gate.waitUntilHeld(5s));

    JobDisplay shown = window->poll();
    EXPECT_EQ(shown.status, "Writing Data To Address: 03000H");
    EXPECT_EQ(shown.progress, 3) << "4 KB page of device address 0x3000";

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    shown = window->poll();
    EXPECT_EQ(shown.status.rfind("Data Writed OK!  Time Elapsed ", 0), 0u) << shown.status;
    EXPECT_EQ(shown.progress, 0) << "the bar goes back to 0 at the end";
}

TEST_F(TimerCopy, ShowsTheEraseDotsAsTheyComeAndKeepsTheLastMessage) {
    startWindow({"COM1"});
    // The begin line (the first line) starts an erase that ends on the fifth
    // read after the 'E'; a dot is added every second read.
    loader.overrides[0] = "E~~~~.";
    // Reads after the begin line: 'E', two quiet ones; hold the next.
    ports->gate.arm(":02000006", 3);
    ASSERT_TRUE(window->startProgram(countingBeep()));
    ASSERT_TRUE(ports->gate.waitUntilHeld(5s));
    EXPECT_EQ(window->poll().status, "Erasing Flash .");

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    // Nothing clears the final message; every later tick shows it again.
    const std::string last = window->poll().status;
    EXPECT_EQ(last.rfind("Data Writed OK!", 0), 0u) << last;
    EXPECT_EQ(window->poll().status, last);
}

TEST_F(TimerCopy, TickRewritesOnlyWhatChangedAndAsksForTheBeepOnce) {
    startWindow({"COM1"});
    DisplayUpdate first = window->tick();
    EXPECT_EQ(first.status, "") << "the first tick fills the empty box";
    EXPECT_EQ(first.progress, 0);
    DisplayUpdate idle = window->tick();
    EXPECT_FALSE(idle.status || idle.progress || idle.beep) << "nothing changed";

    ports->gate.arm(":80300000");
    ASSERT_TRUE(window->startProgram(window->tickBeep()));
    ASSERT_TRUE(ports->gate.waitUntilHeld(5s));
    DisplayUpdate mid = window->tick();
    EXPECT_EQ(mid.status, "Writing Data To Address: 03000H");
    EXPECT_EQ(mid.progress, 3);
    EXPECT_FALSE(mid.beep);

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    DisplayUpdate end = window->tick();
    EXPECT_EQ(end.status.value_or("").rfind("Data Writed OK!", 0), 0u);
    EXPECT_EQ(end.progress, 0);
    EXPECT_TRUE(end.beep) << "the job's end sounds on the window's tick";
    EXPECT_FALSE(window->tick().beep) << "once";
}

}  // namespace
}  // namespace qelisp::test
