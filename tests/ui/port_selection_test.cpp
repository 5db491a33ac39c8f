// Which port is open, and when it may change.
#include "jobs/window_hint.h"
#include "tests/ui/window_fixture.h"

#include <functional>
#include <set>

namespace qelisp::test {
namespace {

using Events = std::vector<std::string>;

class PortSelection : public WindowFixture {};

TEST_F(PortSelection, StartUpListsThePortsAndOpensTheFirstInTheStartUpForm) {
    startWindow({"COM2", "COM5"});
    EXPECT_EQ(portNames(), (Events{"COM2", "COM5"}));
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

TEST_F(PortSelection, StartUpOffersOnlyPortsThatOpenAndSaysWhyWhenNoneDoes) {
    struct Case {
        const char* what;
        std::vector<PortInfo> listed;
        Events offered;
        Events opened;
        std::string status;
        std::string hint;  // for the first port that did not open
    };
    // Refused for its group: the status leaves the shell command to the hint.
    const PortInfo denied = refusedPort("ttyUSB0", OpenError::PermissionDenied, "uucp");
    const PortInfo held = refusedPort("ttyUSB1", OpenError::Busy);
    const PortInfo usable = named({"ttyUSB2"}).front();
    const Case cases[] = {
        {"one of three opens", {denied, held, usable}, {"ttyUSB2"}, {"open ttyUSB2 StartUp"}, "", ""},
        {"none opens",
         {denied, held},
         {},
         {},
         "ttyUSB0: permission denied; ttyUSB1: port is in use by another program",
         windowHint(FailureReason::NoPermission, PortPlace::Local, "uucp")},
        {"none there", {}, {}, {}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ports = std::make_shared<FakePorts>(&link);
        ports->listed = c.listed;
        window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::make_unique<VirtualClock>());
        window->startUp();
        EXPECT_EQ(portNames(), c.offered);
        EXPECT_EQ(ports->events(), c.opened);
        EXPECT_EQ(window->poll().status, c.status);
        EXPECT_EQ(window->poll().hint, c.hint);
    }
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

// Start-up opens COM2 of {COM2, COM5}; then one change, and what it did.
TEST_F(PortSelection, AChangeOpensTheNewPortFirstAndKeepsTheOldOneWhenTheNewFails) {
    struct Case {
        const char* what;
        std::function<PortChange(MainWindowModel&)> change;
        std::set<std::string> missing, held;  // from the change on
        PortChangeOutcome outcome;
        Events events;     // after start-up
        const char* open;  // the port the job would use now; "" none
        int selected;
    };
    auto pick = [](int index) { return [index](MainWindowModel& w) { return w.selectPort(index); }; };
    auto type = [](const char* name) { return [name](MainWindowModel& w) { return w.enterPortName(name); }; };
    const Case cases[] = {
        {"another port", pick(1), {}, {}, PortChangeOutcome::Opened, {"open COM5 Reselect", "close COM2"}, "COM5", 1},
        {"a typed port",
         type(" COM12 "),
         {},
         {},
         PortChangeOutcome::Opened,
         {"open COM12 Reselect", "close COM2"},
         "COM12",
         2},
        {"a listed name typed",
         type("com5"),
         {},
         {},
         PortChangeOutcome::Opened,
         {"open COM5 Reselect", "close COM2"},
         "COM5",
         1},
        {"a missing port", pick(1), {"COM5"}, {}, PortChangeOutcome::OpenFailed, {"open COM5 Reselect"}, "COM2", 0},
        {"a mistyped name",
         type("COM77"),
         {"COM77"},
         {},
         PortChangeOutcome::OpenFailed,
         {"open COM77 Reselect"},
         "COM2",
         0},
        // Busy may be our own port under another name: tried again with ours closed, then ours back.
        {"a busy port",
         pick(1),
         {},
         {"COM5"},
         PortChangeOutcome::OpenFailed,
         {"open COM5 Reselect", "close COM2", "open COM5 Reselect", "open COM2 Reselect"},
         "COM2",
         0},
        // The same port again: closed first, since it is opened without sharing.
        {"the same port", pick(0), {}, {}, PortChangeOutcome::Opened, {"close COM2", "open COM2 Reselect"}, "COM2", 0},
        {"the same port, gone",
         pick(0),
         {"COM2"},
         {},
         PortChangeOutcome::OpenFailed,
         {"close COM2", "open COM2 Reselect", "open COM2 Reselect"},
         "",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ports = std::make_shared<FakePorts>(&link);
        ports->listed = named({"COM2", "COM5"});
        window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::make_unique<VirtualClock>());
        window->startUp();
        const auto startedWith = ports->events().size();
        ports->missing = c.missing;
        ports->heldElsewhere = c.held;
        const PortChange change = c.change(*window);
        EXPECT_EQ(change.outcome, c.outcome);
        const Events all = ports->events();
        EXPECT_EQ(Events(all.begin() + static_cast<long>(startedWith), all.end()), c.events);
        EXPECT_EQ(window->selectedIndex(), c.selected);
        EXPECT_EQ(ports->openNow(), *c.open ? std::multiset<std::string>{c.open} : std::multiset<std::string>{});
        EXPECT_EQ(window->portOpen(), *c.open != '\0');
        if (c.outcome == PortChangeOutcome::OpenFailed) {
            EXPECT_EQ(window->poll().status, change.message) << "the status says why";
            EXPECT_EQ(portNames(), (Events{"COM2", "COM5"})) << "a failed name stays off the list";
        }
    }
}

TEST_F(PortSelection, TypedNameJoinsTheListOnce) {
    startWindow({"COM1", "COM2"});
    EXPECT_EQ(window->enterPortName("   ").outcome, PortChangeOutcome::Ignored);
    EXPECT_EQ(ports->events().size(), 1u) << "a blank name changes nothing";
    EXPECT_EQ(window->enterPortName("COM12").outcome, PortChangeOutcome::Opened);
    window->selectPort(0);
    window->enterPortName("com12");
    EXPECT_EQ(portNames(), (Events{"COM1", "COM2", "COM12"}));
    EXPECT_EQ(window->selectedIndex(), 2);
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
        ports->listed = named({"COM2", "COM5"});
        window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::make_unique<VirtualClock>());
        window->startUp(c.named);
        EXPECT_EQ(portNames(), c.list) << c.named;
        EXPECT_EQ(window->selectedIndex(), c.selected) << c.named;
        EXPECT_EQ(window->portOpen(), c.open) << c.named;
        EXPECT_EQ(ports->events(), c.opened) << c.named;
        if (!c.open) {
            EXPECT_NE(window->poll().status.find("COM7"), std::string::npos) << "the status says why";
        }
    }
}

TEST_F(PortSelection, BoxShowsThePortsByNumberWithDescriptionAndPlaceInTheList) {
    ports->listed = {{"ttyUSB10", "FT232R USB UART", 0x0403, 0x6001, {}, {}, {}},
                     {"COM10", "USB Serial Port", 0, 0, {}, {}, {}},
                     {"com2", "", 0, 0, {}, {}, {}},
                     {"ttyUSB2", "CP2102", 0, 0, {}, {}, {}}};
    window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::move(clockOwner));
    window->startUp("/dev/pts/3");
    std::vector<std::string> shown;
    for (const PortEntry& e : window->portEntries())
        shown.push_back(e.name + "|" + e.description + "|" + std::to_string(e.index));
    EXPECT_EQ(shown, (Events{"/dev/pts/3||4", "com2||2", "COM10|USB Serial Port|1", "ttyUSB2|CP2102|3",
                             "ttyUSB10|FT232R USB UART|0"}));
}

}  // namespace
}  // namespace qelisp::test
