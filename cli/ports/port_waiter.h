#pragma once
// `--wait SECONDS`: a bench started before the instrument is switched on.
// On a thread of its own, once a second, the port is opened if it is there
// and greeted with the loader's 'U'; the wait ends when the instrument
// answers, when the whole time is up (a last try at its end), or on Ctrl-C.
// Several ports each wait for their own.
#include "link/port.h"
#include "link/serial_link.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace qelisp::cli {

class PortWaiter {
public:
    PortWaiter(std::string port, std::chrono::seconds limit, LineTiming timing, const std::atomic<bool>& interrupted);
    ~PortWaiter();
    PortWaiter(const PortWaiter&) = delete;
    PortWaiter& operator=(const PortWaiter&) = delete;

    bool done() const { return done_.load(); }
    // Once done: the open port (null when it never opened; the job then does
    // not run), whether the instrument answered, and why the port did not
    // open.
    std::unique_ptr<SerialLink> takeLink();
    bool answered() const { return answered_; }
    const std::string& failure() const { return failure_; }
    OpenError error() const { return error_; }

private:
    void run(std::chrono::seconds limit);

    std::string port_;
    LineTiming timing_;
    const std::atomic<bool>& interrupted_;
    std::unique_ptr<SerialLink> link_;
    bool answered_ = false;
    std::string failure_;  // the last open's message
    OpenError error_ = OpenError::None;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace qelisp::cli
