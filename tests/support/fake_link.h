#pragma once
// A scripted stand-in for the serial port, in virtual time: each read takes
// what the script offers next, and an empty read costs 200 ms of the virtual
// clock, as a real one would. A line takes its time on the wire: bytes the
// script puts there arrive while the next line is going out.
#include "link/serial_link.h"
#include "state/clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qelisp::test {

class VirtualClock final : public Clock {
public:
    std::uint32_t tickMs() override { return now; }
    void sleepMs(std::uint32_t ms) override {
        now += ms;
        sleptMs += ms;
    }
    void advance(std::uint32_t ms) { now += ms; }

    std::uint32_t now = 0;
    std::uint32_t sleptMs = 0;  // all sleeps together
};

class FakeLink final : public SerialLink {
public:
    explicit FakeLink(VirtualClock& clock) : clock_(clock) {}

    // Script, consumed by reads in order.
    void reply(std::string_view bytes);         // bytes that are waiting to be read
    void whileSending(std::string_view bytes);  // bytes that arrive while the next line goes out
    void silence(int reads = 1);                // reads that find nothing
    void fail();                                // the port dies: every later read gives -1
    void act(std::function<void()> action);     // runs when the reads get here
    // Called after every write with the bytes written; may script replies.
    std::function<void(const std::string&)> onWrite;

    int purge() override;
    int readWaiting(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override;
    int read(std::span<std::uint8_t> buf) override;
    void note(std::string_view remark) override { notes.emplace_back(remark); }

    std::vector<std::string> writes;  // each write call's bytes
    std::vector<std::string> notes;   // what the conversation remarked
    int purges = 0;
    int reads = 0;
    int emptyReads = 0;
    int writeLimit = -1;  // when >= 0, a write sends at most this many bytes

private:
    struct Step {
        // InFlight: not there before the next line goes out; they come
        // while it does (the write that launched them is `launchedBy`, a
        // count of writes), and are then waiting like any other bytes.
        enum class Kind { Bytes, InFlight, Silence, Fail, Action } kind;
        std::string bytes;
        std::function<void()> action = {};
        std::size_t launchedBy = 0;
        bool arrived() const { return kind == Kind::Bytes || (kind == Kind::InFlight && launchedBy > 0); }
    };
    void dropWaiting();
    // Bytes from the front of the script while its steps have arrived and
    // `which` accepts them.
    int take(std::span<std::uint8_t> buf, const std::function<bool(const Step&)>& which);

    VirtualClock& clock_;
    std::deque<Step> script_;
    bool dead_ = false;
};

}  // namespace qelisp::test
