// Which port is open, and when it may change.
#include "tests/ui/window_fixture.h"

namespace qelisp::test {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

class PortSelection : public WindowFixture {};

TEST_F(PortSelection, StartUpListsThePortsAndOpensTheFirstInTheStartUpForm) {
    startWindow({"COM2", "COM5"});
    EXPECT_EQ(window->ports(), (Events{"COM2", "COM5"}));
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_TRUE(window->portOpen());
    EXPECT_EQ(ports->events(), (Events{"open COM2 StartUp"}));
}

TEST_F(PortSelection, NoPortMeansEmptyListNothingSelectedNothingOpen) {
    startWindow({});
    EXPECT_TRUE(window->ports().empty());
    EXPECT_EQ(window->selectedIndex(), -1);
    EXPECT_FALSE(window->portOpen());
    EXPECT_TRUE(ports->events().empty());
}

TEST_F(PortSelection, IdleChangeClosesTheOldPortThenOpensTheNewInTheReselectForm) {
    startWindow({"COM2", "COM5"});
    PortChange change = window->selectPort(1);
    EXPECT_EQ(change.outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->selectedIndex(), 1);
    EXPECT_TRUE(window->portOpen());
    // Ports are opened without sharing: the old one must be gone first.
    EXPECT_EQ(ports->events(), (Events{"open COM2 StartUp", "close COM2", "open COM5 Reselect"}));
}

TEST_F(PortSelection, ChangeWhileBusyIsRefusedAndKeepsSelectionAndPort) {
    startWindow({"COM2", "COM5"});
    ports->gate.armNow();
    ASSERT_TRUE(window->startProgram(countingBeep()));
    ASSERT_TRUE(ports->gate.waitUntilHeld(5s));

    PortChange change = window->selectPort(1);
    EXPECT_EQ(change.outcome, PortChangeOutcome::RefusedBusy);
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_TRUE(window->portOpen());
    EXPECT_EQ(ports->events(), (Events{"open COM2 StartUp"})) << "the running job's port was touched";

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    // The job ran on to its end on the port it started with.
    EXPECT_EQ(window->poll().status.rfind("Data Writed OK!", 0), 0u) << window->poll().status;
}

TEST_F(PortSelection, TypedNameWhileBusyIsRefusedToo) {
    startWindow({"COM2"});
    ports->gate.armNow();
    ASSERT_TRUE(window->startVerify(countingBeep()));
    EXPECT_EQ(window->enterPortName("COM12").outcome, PortChangeOutcome::RefusedBusy);
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_EQ(ports->events(), (Events{"open COM2 StartUp"}));
}

TEST_F(PortSelection, TypedNameOpensLikeAListedPortAndJoinsTheList) {
    startWindow({"COM1", "COM2"});
    PortChange change = window->enterPortName(" COM12 ");
    EXPECT_EQ(change.outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->ports(), (Events{"COM1", "COM2", "COM12"}));
    EXPECT_EQ(window->selectedIndex(), 2);
    EXPECT_EQ(ports->events(), (Events{"open COM1 StartUp", "close COM1", "open COM12 Reselect"}));

    // Typed again, it is the listed entry, not a second one.
    window->selectPort(0);
    window->enterPortName("com12");
    EXPECT_EQ(window->ports().size(), 3u);
    EXPECT_EQ(window->selectedIndex(), 2);
}

TEST_F(PortSelection, TypedNameOfAListedPortSelectsThatEntry) {
    startWindow({"COM1", "COM2"});
    EXPECT_EQ(window->enterPortName("com2").outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->selectedIndex(), 1);
    EXPECT_EQ(window->ports().size(), 2u);
    EXPECT_EQ(ports->events().back(), "open COM2 Reselect");
}

TEST_F(PortSelection, BlankTypedNameChangesNothing) {
    startWindow({"COM1"});
    EXPECT_EQ(window->enterPortName("   ").outcome, PortChangeOutcome::Ignored);
    EXPECT_TRUE(window->portOpen());
    EXPECT_EQ(ports->events(), (Events{"open COM1 StartUp"}));
}

TEST_F(PortSelection, PortThatCannotOpenLeavesNoneOpenAndSaysWhyInTheStatus) {
    startWindow({"COM1", "COM2"});
    ports->heldElsewhere.insert("COM2");
    PortChange change = window->selectPort(1);
    EXPECT_EQ(change.outcome, PortChangeOutcome::OpenFailed);
    EXPECT_FALSE(window->portOpen());
    EXPECT_EQ(window->selectedIndex(), 1);
    EXPECT_NE(change.message.find("COM2"), std::string::npos);
    EXPECT_EQ(window->poll().status, change.message);
}

TEST_F(PortSelection, TypedPortThatCannotOpenSelectsNothing) {
    startWindow({"COM1"});
    ports->heldElsewhere.insert("COM7");
    EXPECT_EQ(window->enterPortName("COM7").outcome, PortChangeOutcome::OpenFailed);
    EXPECT_EQ(window->selectedIndex(), -1);
    EXPECT_FALSE(window->portOpen());
    EXPECT_EQ(window->ports(), (Events{"COM1"}));
}

TEST_F(PortSelection, StartUpPortThatCannotOpenIsReportedInTheStatus) {
    ports->heldElsewhere.insert("COM3");
    startWindow({"COM3"});
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_FALSE(window->portOpen());
    EXPECT_NE(window->poll().status.find("COM3"), std::string::npos);
}

}  // namespace
}  // namespace qelisp::test
