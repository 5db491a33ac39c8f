#pragma once
// Wire-speed arithmetic for 115200 8N1. Bytes move through a pty at memory
// speed; to behave like the instrument, a received byte counts as arrived one
// byte time after the later of its read and the previous arrival, and each
// reply byte goes out one byte time after the later of the moment it is ready
// and the previous reply byte. Times are nanoseconds on any monotonic scale;
// the schedule is absolute, so lateness in sleeping does not add up.
#include <cstdint>

namespace qelisp::sim {

class WirePacer {
public:
    // 10 bits (start, 8 data, stop) at 115200 baud.
    static constexpr std::int64_t kByteTime115200 = 86'806;

    // A byte time of 0 turns pacing off: every byte arrives when read and
    // every reply byte may go as soon as it is ready.
    explicit WirePacer(std::int64_t byteTimeNs = kByteTime115200) : byteTime_(byteTimeNs) {}

    // When the next received byte, read at `readAt`, has arrived.
    std::int64_t arrive(std::int64_t readAt);

    // When the next reply byte, ready at `readyAt`, has been sent.
    std::int64_t send(std::int64_t readyAt);

    // Whether a reply byte ready at `readyAt` goes out right behind the one
    // before, with no idle time on the wire between them.
    bool backToBack(std::int64_t readyAt) const { return byteTime_ > 0 && lastSent_ >= readyAt; }

    // When the last scheduled reply byte has gone out (an erase starts then).
    std::int64_t lastSent() const { return lastSent_; }
    std::int64_t byteTime() const { return byteTime_; }

    // A new peer: forget the old schedule.
    void reset();

private:
    std::int64_t byteTime_;
    std::int64_t lastArrival_ = INT64_MIN;
    std::int64_t lastSent_ = INT64_MIN;
};

}  // namespace qelisp::sim
