// Which port is open, and when it may change.
#include "tests/ui/window_fixture.h"

namespace qelisp::test {
namespace {

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
    ASSERT_TRUE(startHeldProgram());

    EXPECT_EQ(window->selectPort(1).outcome, PortChangeOutcome::RefusedBusy);
    EXPECT_EQ(window->enterPortName("COM12").outcome, PortChangeOutcome::RefusedBusy);
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_TRUE(window->portOpen());
    EXPECT_EQ(ports->events(), (Events{"open COM2 StartUp"})) << "the running job's port was touched";

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    // The job ran on to its end on the port it started with.
    EXPECT_EQ(window->poll().status.rfind("Data Writed OK!", 0), 0u) << window->poll().status;
}

TEST_F(PortSelection, TypedNameOpensLikeAListedPortAndJoinsTheListOnce) {
    startWindow({"COM1", "COM2"});
    EXPECT_EQ(window->enterPortName("   ").outcome, PortChangeOutcome::Ignored);
    EXPECT_TRUE(window->portOpen());
    EXPECT_EQ(ports->events().size(), 1u) << "a blank name changes nothing";
    EXPECT_EQ(window->enterPortName("com2").outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->selectedIndex(), 1) << "a listed name selects its entry";

    EXPECT_EQ(window->enterPortName(" COM12 ").outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->ports(), (Events{"COM1", "COM2", "COM12"}));
    EXPECT_EQ(window->selectedIndex(), 2);
    EXPECT_EQ(ports->events(), (Events{"open COM1 StartUp", "close COM1", "open COM2 Reselect", "close COM2",
                                       "open COM12 Reselect"}));
    window->selectPort(0);
    window->enterPortName("com12");
    EXPECT_EQ(window->ports().size(), 3u);
    EXPECT_EQ(window->selectedIndex(), 2);
}

TEST_F(PortSelection, PortThatCannotOpenLeavesNoneOpenAndSaysWhyInTheStatus) {
    ports->heldElsewhere = {"COM2", "COM3", "COM7"};
    startWindow({"COM3", "COM1", "COM2"});
    EXPECT_EQ(window->selectedIndex(), 0);
    EXPECT_FALSE(window->portOpen());
    EXPECT_NE(window->poll().status.find("COM3"), std::string::npos) << "at start-up too";

    ASSERT_EQ(window->selectPort(1).outcome, PortChangeOutcome::Opened);
    PortChange change = window->selectPort(2);
    EXPECT_EQ(change.outcome, PortChangeOutcome::OpenFailed);
    EXPECT_FALSE(window->portOpen());
    EXPECT_EQ(window->selectedIndex(), 2);
    EXPECT_NE(change.message.find("COM2"), std::string::npos);
    EXPECT_EQ(window->poll().status, change.message);

    // A typed name that cannot open selects nothing and stays off the list.
    ASSERT_EQ(window->selectPort(1).outcome, PortChangeOutcome::Opened);
    EXPECT_EQ(window->enterPortName("COM7").outcome, PortChangeOutcome::OpenFailed);
    EXPECT_FALSE(window->portOpen());
    EXPECT_EQ(window->selectedIndex(), -1);
    EXPECT_EQ(window->ports(), (Events{"COM3", "COM1", "COM2"}));
}

TEST_F(PortSelection, PortNamedAtStartUpIsOpenedInsteadOfTheFirst) {
    struct Case {
        std::string named;
        Events list;
        int selected;
        bool open;
        Events opened;
    };
    for (const Case& c : {
             Case{"com5", {"COM2", "COM5"}, 1, true, {"open COM5 StartUp"}},
             Case{"/dev/pts/4", {"COM2", "COM5", "/dev/pts/4"}, 2, true, {"open /dev/pts/4 StartUp"}},
             // Not the first port instead: a bench's shortcut names its instrument.
             Case{"COM7", {"COM2", "COM5"}, -1, false, {"open COM7 StartUp"}},
         }) {
        ports = std::make_shared<FakePorts>(&link);
        ports->heldElsewhere = {"COM7"};
        ports->listed = {"COM2", "COM5"};
        window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::make_unique<VirtualClock>());
        window->startUp(c.named);
        EXPECT_EQ(window->ports(), c.list) << c.named;
        EXPECT_EQ(window->selectedIndex(), c.selected) << c.named;
        EXPECT_EQ(window->portOpen(), c.open) << c.named;
        EXPECT_EQ(ports->events(), c.opened) << c.named;
        if (!c.open) {
            EXPECT_NE(window->poll().status.find("COM7"), std::string::npos) << "the status says why";
        }
    }
}

TEST_F(PortSelection, BoxShowsThePortsSortedWithTheirPlaceInTheList) {
    startWindow({"ttyUSB0", "COM2", "com10", "/dev/pts/3"});
    std::vector<std::pair<std::string, int>> shown;
    for (const PortEntry& e : window->portEntries()) shown.emplace_back(e.name, e.index);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, int>>{
                         {"/dev/pts/3", 3}, {"com10", 2}, {"COM2", 1}, {"ttyUSB0", 0}}));
}

}  // namespace
}  // namespace qelisp::test
