// What the 20 ms timer copies onto the screen.
#include "jobs/window_hint.h"
#include "tests/ui/window_fixture.h"

#include <map>
#include <string>

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
    EXPECT_EQ(first.hint, "");
    DisplayUpdate idle = window->tick();
    EXPECT_FALSE(idle.status || idle.progress || idle.hint || idle.beep) << "nothing changed";

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
    EXPECT_FALSE(end.hint) << "no hint after a success";
    EXPECT_EQ(end.progress, 0);
    EXPECT_TRUE(end.beep) << "the job's end sounds on the window's tick";
    EXPECT_FALSE(window->tick().beep) << "once";
}

TEST_F(TimerCopy, TheHintGoesWithTheStatusItExplains) {
    startWindow({"COM1"});
    ports->missing = {"COM9"};
    ports->heldElsewhere = {"COM7"};
    ports->denied = {{"ttyUSB0", "uucp"}};
    struct Case {
        const char* port;  // typed into the port box; nullptr: a job runs
        JobKind kind;
        std::map<int, std::string> handshakes, lines;  // FakeLoader overrides
        const char* status;                            // the start of the last text; a port's whole
        std::string hint;
    };
    // The verify first, while the flash is blank.
    const Case cases[] = {
        {nullptr, JobKind::Verify, {}, {}, "Verify Error At: 0", windowHint(FailureReason::ReadBackDiffers)},
        {nullptr, JobKind::Program, {{0, ""}, {1, ""}}, {}, "Connecting Error!", windowHint(FailureReason::NoAnswer)},
        // After a failure, a port that does not open: its own hint.
        {"COM9", {}, {}, {}, "COM9: no such port", windowHint(FailureReason::NotFound)},
        {nullptr, JobKind::Program, {}, {{2, ""}}, "Connecting Error 4!", windowHint(FailureReason::CutOff)},
        // The shell command the port's message gives goes; the hint names the group.
        {"ttyUSB0",
         {},
         {},
         {},
         "ttyUSB0: permission denied",
         windowHint(FailureReason::NoPermission, PortPlace::Local, "uucp")},
        {"COM7", {}, {}, {}, "COM7: port is in use by another program", windowHint(FailureReason::InUse)},
        {nullptr, JobKind::Program, {}, {}, "Data Writed OK!", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        if (c.port) {
            EXPECT_EQ(window->enterPortName(c.port).outcome, PortChangeOutcome::OpenFailed);
        } else {
            loader.handshakes = 0;
            loader.lines.clear();
            loader.handshakeOverrides = c.handshakes;
            loader.overrides = c.lines;
            ASSERT_TRUE(c.kind == JobKind::Program ? window->startProgram(nullptr) : window->startVerify(nullptr));
            ASSERT_TRUE(waitIdle());
        }
        const JobDisplay shown = window->poll();
        EXPECT_TRUE(c.port ? shown.status == c.status : shown.status.rfind(c.status, 0) == 0) << shown.status;
        EXPECT_EQ(shown.hint, c.hint);
    }
    // A job that starts clears it.
    ASSERT_TRUE(window->enterPortName("COM9").outcome == PortChangeOutcome::OpenFailed && !window->poll().hint.empty());
    loader.lines.clear();
    ASSERT_TRUE(startHeldProgram());
    EXPECT_EQ(window->poll().status, "Connecting...");
    EXPECT_EQ(window->poll().hint, "");
}

}  // namespace
}  // namespace qelisp::test
