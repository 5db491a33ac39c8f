#pragma once
// Counts the command lines a job sends and times their answers against the
// wire: an answer cannot come sooner than the line and itself take at 115200
// baud, so what it waits beyond that is the adapter's and the loader's. A
// USB adapter's latency timer (16 ms by default on common chips) shows as
// the same extra wait on every answer; across a network, the round trip to
// the server does.
#include "link/serial_link.h"

#include <chrono>
#include <cstdint>
#include <mutex>

namespace qelisp::cli {

class MeteredLink final : public SerialLink {
public:
    explicit MeteredLink(SerialLink& inner) : inner_(inner) {}

    struct Figures {
        std::uint64_t lines = 0;            // command lines written
        std::uint64_t timedAnswers = 0;     // answers timed: the first byte after a line, not an erase's 'E'
        double extraSeconds = 0;            // their waits beyond the wire, added up
        std::uint64_t heldBackAnswers = 0;  // a network port's answers that came in held-back pieces
    };
    // What was seen since the last call; starts counting afresh.
    Figures take();

    int purge() override { return inner_.purge(); }
    int readWaiting(std::span<std::uint8_t> buf) override { return inner_.readWaiting(buf); }
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override { return inner_.awaitSent(buf); }
    int read(std::span<std::uint8_t> buf) override;
    void note(std::string_view remark) override { inner_.note(remark); }
    bool network() const override { return inner_.network(); }
    std::uint64_t heldBackAnswers() const override { return inner_.heldBackAnswers(); }

private:
    using Clock = std::chrono::steady_clock;

    SerialLink& inner_;
    std::mutex mutex_;
    Figures figures_;
    Clock::time_point lineStart_{};
    std::size_t lineBytes_ = 0;        // the line whose answer is awaited; 0 when none
    std::uint64_t heldBackTaken_ = 0;  // the link's count at the last take()
};

}  // namespace qelisp::cli
