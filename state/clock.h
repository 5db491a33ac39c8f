#pragma once
// Time for the protocol and jobs: a millisecond tick and a sleep. Tests swap in
// a virtual clock so the 1000 ms handshake pauses and the erase wait cost
// nothing real.
#include <cstdint>

namespace qelisp {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
    virtual std::uint32_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// The real thing, on the steady clock.
class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() override;
    void sleepMs(std::uint32_t ms) override;
};

}  // namespace qelisp
