#pragma once
// A main-window model over fake ports, with a scripted loader behind every
// port, in virtual time.
#include "tests/support/fake_loader.h"
#include "tests/support/test_image.h"
#include "tests/ui/fake_ports.h"
#include "ui/main_window_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qelisp::test {

class WindowFixture : public ::testing::Test {
protected:
    // Builds the model over the given port list and runs its start-up.
    void startWindow(const std::vector<std::string>& listed) {
        ports->listed = named(listed);
        window = std::make_unique<MainWindowModel>(owned.image, ports->access(), std::move(clockOwner));
        window->startUp();
    }

    // Polls the busy flag as the window's timer would.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (window->busy()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    static std::vector<PortInfo> named(const std::vector<std::string>& names) {
        std::vector<PortInfo> ports;
        for (const std::string& name : names) ports.push_back(PortInfo{name, {}, 0, 0, {}, {}, {}});
        return ports;
    }

    // The names of the model's ports, in its order.
    std::vector<std::string> portNames() const {
        std::vector<std::string> names;
        for (const PortInfo& port : window->ports()) names.push_back(port.name);
        return names;
    }

    BeepHook countingBeep() {
        return [this] { ++beeps; };
    }

    // Starts Program and holds it in its first read.
    bool startHeldProgram(BeepHook beep = nullptr) {
        ports->gate.arm();
        return window->startProgram(beep ? beep : countingBeep()) && ports->gate.waitUntilHeld(std::chrono::seconds(5));
    }

    void TearDown() override {
        // Never leave a worker blocked on the gate behind the test.
        ports->gate.release();
        if (window) {
            EXPECT_TRUE(waitIdle());
        }
    }

    OwnedImage owned{makeImageBlock(twoPageBlocks())};
    std::unique_ptr<VirtualClock> clockOwner = std::make_unique<VirtualClock>();
    FakeLink link{*clockOwner};
    FakeLoader loader{link};
    std::shared_ptr<FakePorts> ports = std::make_shared<FakePorts>(&link);
    std::atomic<int> beeps{0};
    // Last, so it goes first: the model's port forwards to the members above.
    std::unique_ptr<MainWindowModel> window;
};

}  // namespace qelisp::test
