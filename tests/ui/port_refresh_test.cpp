// The port list read again: as the drop-down opens, when the system says a
// device came or went, and when an idle window notices it; never while a job
// runs, and never touching the open port.
#include "tests/ui/window_fixture.h"

#include <algorithm>

namespace qelisp::test {
namespace {

using Names = std::vector<std::string>;

class PortRefresh : public WindowFixture {
protected:
    // COM3 is open; the system's list then changes to `now`, where it finds
    // the ports `held` held open (by us or by another program).
    void startOnCom3(const Names& now, const Names& held) {
        startWindow({"COM3", "COM5"});
        ports->listed.clear();
        for (const std::string& name : now) {
            const bool busy = std::find(held.begin(), held.end(), name) != held.end();
            ports->listed.push_back(busy ? refusedPort(name, OpenError::Busy) : named({name}).front());
        }
    }
    // Ticks as the window's timer would, until `count` have passed; whether
    // any asked for the list to be filled anew.
    bool ticks(int count) {
        bool asked = false;
        for (int i = 0; i < count; ++i) asked = window->tick().portList || asked;
        return asked;
    }
};

TEST_F(PortRefresh, NewPortsShowAndTheOpenPortStaysEvenWhenUnlisted) {
    struct Case {
        Names now;
        bool changed;
        Names after;
        Names held{};
    };
    const Case cases[] = {
        {{"COM3", "COM5"}, false, {"COM3", "COM5"}},
        {{"COM3", "COM5", "COM12"}, true, {"COM3", "COM5", "COM12"}},
        {{"COM5"}, true, {"COM5", "COM3"}},  // ours: we hold it, so the system may not offer it
        {{}, true, {"COM3"}},
        // Found held (as on Linux): ours keeps its place; another program's is not offered.
        {{"COM3", "COM5", "COM7"}, false, {"COM3", "COM5"}, {"COM3", "COM7"}},
    };
    for (const Case& c : cases) {
        ports = std::make_shared<FakePorts>(&link);
        startOnCom3(c.now, c.held);
        EXPECT_EQ(window->refreshPorts(), c.changed);
        EXPECT_EQ(portNames(), c.after);
        ASSERT_GE(window->selectedIndex(), 0);
        EXPECT_EQ(window->ports()[static_cast<std::size_t>(window->selectedIndex())].name, "COM3");
        EXPECT_EQ(ports->events(), (Names{"open COM3 StartUp"})) << "a refresh never opens or closes the port";
    }
}

TEST_F(PortRefresh, StatusSaysWhyNoPortOpensUntilOneDoes) {
    const PortInfo denied0 = refusedPort("ttyUSB0", OpenError::PermissionDenied);
    const PortInfo denied1 = refusedPort("ttyUSB1", OpenError::PermissionDenied);
    const PortInfo held1 = refusedPort("ttyUSB1", OpenError::Busy);
    const PortInfo free1 = named({"ttyUSB1"}).front();
    struct Step {
        std::vector<PortInfo> listed;
        bool changed;
        Names offered;
        std::string status;
        const char* typed = nullptr;  // before the list is read: a name that fails to open
    };
    const Step steps[] = {
        {{denied0, held1}, false, {}, "ttyUSB0: permission denied; ttyUSB1: port is in use by another program"},
        {{}, false, {}, ""},  // unplugged: nothing to explain
        {{denied0, denied1}, false, {}, "ttyUSB0, ttyUSB1: permission denied"},
        {{denied0, free1}, true, {"ttyUSB1"}, ""},
        {{denied0}, true, {}, "ttyUSB0: permission denied"},
        {{free1}, true, {"ttyUSB1"}, "ttyUSB9: no such port", "ttyUSB9"},  // a message since then stays
    };
    ports->missing = {"ttyUSB9"};
    ports->listed = {denied0};
    window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::move(clockOwner));
    window->startUp();
    EXPECT_EQ(window->poll().status, "ttyUSB0: permission denied");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.status);
        if (step.typed) {
            EXPECT_EQ(window->enterPortName(step.typed).outcome, PortChangeOutcome::OpenFailed);
        }
        ports->listed = step.listed;
        EXPECT_EQ(window->refreshPorts(), step.changed);
        EXPECT_EQ(portNames(), step.offered);
        EXPECT_EQ(window->poll().status, step.status);
    }
    EXPECT_FALSE(window->portOpen()) << "a refresh opens nothing";
}

TEST_F(PortRefresh, NothingIsReadWhileAJobRunsAndADeviceChangeIsCaughtUpAfter) {
    startOnCom3({"COM3", "COM5", "COM12"}, {});
    ASSERT_TRUE(startHeldProgram());
    const int before = ports->enumerations;
    EXPECT_FALSE(window->refreshPorts());
    EXPECT_FALSE(window->devicesChanged());
    EXPECT_FALSE(ticks(1));
    EXPECT_EQ(ports->enumerations, before);

    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(ticks(1)) << "the change during the job is read after it";
    EXPECT_EQ(portNames(), (Names{"COM3", "COM5", "COM12"}));
    EXPECT_FALSE(window->devicesChanged()) << "nothing new since";
}

TEST_F(PortRefresh, IdleWindowLooksOnceASecondWhetherDevicesCameOrWent) {
    ports->present = Names{"ttyUSB0"};
    startWindow({"ttyUSB0"});
    const int afterStart = ports->enumerations;
    EXPECT_FALSE(ticks(2 * kPortWatchTicks));
    EXPECT_EQ(ports->enumerations, afterStart) << "nothing came: the list is not read";

    ports->present = Names{"ttyUSB0", "ttyUSB1"};
    ports->listed = named({"ttyUSB0", "ttyUSB1"});
    EXPECT_FALSE(ticks(kPortWatchTicks - 1));
    EXPECT_TRUE(ticks(1));
    EXPECT_EQ(portNames(), (Names{"ttyUSB0", "ttyUSB1"}));

    // Plugged in during a job: seen once the job has ended.
    ports->present = Names{"ttyUSB0"};
    ports->listed = named({"ttyUSB0"});
    ASSERT_TRUE(startHeldProgram());
    EXPECT_FALSE(ticks(2 * kPortWatchTicks));
    ports->gate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(ticks(kPortWatchTicks));
    EXPECT_EQ(portNames(), (Names{"ttyUSB0"}));
}

}  // namespace
}  // namespace qelisp::test
