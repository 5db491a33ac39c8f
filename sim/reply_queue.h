#pragma once
// The reply bytes on the wire's schedule that the program has not been
// handed yet, in time order, and when the server must wake to hand them
// over. Waking for every byte of a paced burst (one per 86.8 us) would cost
// more CPU than the rest of the simulator together, so bytes that follow one
// another back to back go over in batches: never before their time, the
// first of a batch at most kBatchNs after it. The first byte after idle wire
// and the last of a burst go over on time, as a program timing the loader's
// answers would notice. Times are nanoseconds on any monotonic scale.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qelisp::sim {

class ReplyQueue {
public:
    static constexpr std::int64_t kBatchNs = 1'000'000;

    // `backToBack`: it goes out right behind the byte before, with no idle
    // time on the wire between them.
    void push(std::int64_t at, std::uint8_t byte, bool backToBack);
    void pushHangUp(std::int64_t at);

    bool empty() const { return entries_.empty(); }
    // When the next hand-over is due; only when not empty.
    std::int64_t wakeAt() const;

    // The bytes due by `now`, in order, into `bytes`; true when a hang-up is
    // due right after them.
    bool due(std::int64_t now, std::vector<std::uint8_t>& bytes) const;
    // The first `count` bytes have been handed over (or lost).
    void handedOver(std::size_t count);
    void clear() { entries_.clear(); }

private:
    struct Entry {
        std::int64_t at = 0;  // not before
        std::uint8_t byte = 0;
        bool backToBack = false;
        bool hangUp = false;
    };

    std::deque<Entry> entries_;
};

}  // namespace qelisp::sim
