#include "sim/reply_queue.h"

#include <iterator>

namespace qelisp::sim {

void ReplyQueue::push(std::int64_t at, std::uint8_t byte, bool backToBack) {
    entries_.push_back({at, byte, backToBack, false});
}

void ReplyQueue::pushHangUp(std::int64_t at) { entries_.push_back({at, 0, false, true}); }

std::int64_t ReplyQueue::wakeAt() const {
    auto first = entries_.begin();
    if (!first->backToBack) return first->at;
    // Wake when the last of the bytes back to back behind the first within
    // kBatchNs is due, so that a batch ends on time.
    const std::int64_t limit = first->at + kBatchNs;
    auto last = first;
    for (auto next = std::next(first); next != entries_.end() && next->backToBack && next->at <= limit; ++next) {
        last = next;
    }
    // The last byte of a burst goes alone: a program that sleeps for a
    // block's time on the wire wakes as it is due, and would otherwise find
    // a whole batch missing and sleep again.
    const auto after = std::next(last);
    if (last != first && (after == entries_.end() || !after->backToBack)) --last;
    return last->at;
}

bool ReplyQueue::due(std::int64_t now, std::vector<std::uint8_t>& bytes) const {
    for (const Entry& e : entries_) {
        if (e.at > now) break;
        if (e.hangUp) return true;
        bytes.push_back(e.byte);
    }
    return false;
}

void ReplyQueue::handedOver(std::size_t count) {
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace qelisp::sim
