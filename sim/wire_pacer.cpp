#include "sim/wire_pacer.h"

#include <algorithm>

namespace qelisp::sim {

std::int64_t WirePacer::arrive(std::int64_t readAt) {
    lastArrival_ = std::max(readAt, lastArrival_) + byteTime_;
    return lastArrival_;
}

std::int64_t WirePacer::send(std::int64_t readyAt) {
    lastSent_ = std::max(readyAt, lastSent_) + byteTime_;
    return lastSent_;
}

void WirePacer::reset() {
    lastArrival_ = INT64_MIN;
    lastSent_ = INT64_MIN;
}

}  // namespace qelisp::sim
