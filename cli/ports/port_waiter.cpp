#include "cli/ports/port_waiter.h"

#include "link/port.h"
#include "protocol/reply.h"

#include <algorithm>
#include <array>

namespace qelisp::cli {

namespace {

using Clock = std::chrono::steady_clock;

enum class Greeting { Answered, Silent, PortFailed };

// One 'U', as the handshake sends it, and its echo within a read.
Greeting greet(SerialLink& link) {
    if (link.purge() != 0) return Greeting::PortFailed;
    const std::array<std::uint8_t, 1> u{kHandshakeByte};
    if (link.write(u) != 1) return Greeting::PortFailed;
    std::array<std::uint8_t, 1> echo{};
    const int n = link.read(echo);
    if (n < 0) return Greeting::PortFailed;
    return n == 1 && echo[0] == kHandshakeByte ? Greeting::Answered : Greeting::Silent;
}

}  // namespace

PortWaiter::PortWaiter(std::string port, std::chrono::seconds limit, LineTiming timing,
                       const std::atomic<bool>& interrupted)
    : port_(std::move(port)), timing_(timing), interrupted_(interrupted), thread_([this, limit] { run(limit); }) {}

PortWaiter::~PortWaiter() {
    if (thread_.joinable()) thread_.join();
}

std::unique_ptr<SerialLink> PortWaiter::takeLink() {
    if (thread_.joinable()) thread_.join();
    return std::move(link_);
}

void PortWaiter::run(std::chrono::seconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        const Clock::time_point tried = Clock::now();
        if (!link_) {
            OpenResult opened = openPort(port_, OpenMode::StartUp, timing_);
            link_ = std::move(opened.link);
            if (!link_) {
                failure_ = opened.message;
                error_ = opened.error;
            }
        }
        if (link_) {
            const Greeting greeting = greet(*link_);
            if (greeting == Greeting::Answered) {
                answered_ = true;
                break;
            }
            // An adapter pulled out meanwhile: open it afresh next time.
            if (greeting == Greeting::PortFailed) link_.reset();
        }
        // The last try comes at the deadline, not a second short of it.
        if (Clock::now() >= deadline) break;
        const Clock::time_point next = std::min(tried + std::chrono::seconds(1), deadline);
        while (Clock::now() < next && !interrupted_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (interrupted_.load()) break;
    }
    done_.store(true);
}

}  // namespace qelisp::cli
