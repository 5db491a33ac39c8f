#pragma once
// Ports for the window logic's tests: a list of ports, the devices present, a
// log of every open and close, ports that refuse to open, and a gate that can hold a job inside a
// read until the test lets it go. Every opened port forwards to one scripted
// FakeLink (or fails, when there is none).
#include "ui/port_access.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qelisp::test {

// Holds the worker in a read while armed.
class ReadGate {
public:
    // Blocks read number readsToPass + 1 from now, or after the first write
    // that starts with `afterWrite` when that is given.
    void arm(const std::string& afterWrite = "", int readsToPass = 0);
    void release();  // lets a held read go on; disarms
    bool waitUntilHeld(std::chrono::milliseconds timeout);

    // Called by the fake port.
    void noteWrite(const std::string& bytes);
    void beforeRead();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false;
    bool held_ = false;
    bool released_ = false;
    std::string prefix_;
    int readsToPass_ = 0;
};

// A port the system lists that cannot be opened now, for `error`, said as
// describe() says it; refused for its `group`, said as Linux says it.
PortInfo refusedPort(const std::string& name, OpenError error, const std::string& group = {});

// Made with std::make_shared: the opened ports keep it alive.
class FakePorts : public std::enable_shared_from_this<FakePorts> {
public:
    explicit FakePorts(SerialLink* target) : target_(target) {}

    // What the model gets instead of the real backend.
    PortAccess access();

    std::vector<PortInfo> listed;                     // what enumerate returns
    std::optional<std::vector<std::string>> present;  // what present returns
    std::set<std::string> heldElsewhere;              // these fail to open as Busy
    std::set<std::string> missing;                    // these fail to open as NotFound
    std::map<std::string, std::string> denied;        // these fail as PermissionDenied, for the group
    int enumerations = 0;
    ReadGate gate;

    // "open COM1 StartUp", "open COM3 Reselect", "close COM1", in order.
    std::vector<std::string> events();
    void log(const std::string& event);
    // The ports opened and not closed since.
    std::multiset<std::string> openNow();

    SerialLink* target() const { return target_; }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
    std::multiset<std::string> open_;
    SerialLink* target_;
};

}  // namespace qelisp::test
