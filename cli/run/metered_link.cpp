#include "cli/run/metered_link.h"

namespace qelisp::cli {

namespace {

// A command line starts with ':'; the handshake's 'U' is no line.
constexpr std::uint8_t kLineStart = ':';
constexpr std::uint8_t kErase = 'E';

}  // namespace

MeteredLink::Figures MeteredLink::take() {
    std::lock_guard lock(mutex_);
    Figures figures = figures_;
    figures_ = {};
    const std::uint64_t heldBack = inner_.heldBackAnswers();
    figures.heldBackAnswers = heldBack - heldBackTaken_;
    heldBackTaken_ = heldBack;
    return figures;
}

int MeteredLink::write(std::span<const std::uint8_t> bytes) {
    const Clock::time_point start = Clock::now();
    const int n = inner_.write(bytes);
    std::lock_guard lock(mutex_);
    const bool line = !bytes.empty() && bytes[0] == kLineStart;
    if (line && n > 0) ++figures_.lines;
    lineStart_ = start;
    lineBytes_ = line && n == static_cast<int>(bytes.size()) ? bytes.size() : 0;
    return n;
}

int MeteredLink::read(std::span<std::uint8_t> buf) {
    const int n = inner_.read(buf);
    if (n <= 0) return n;
    const Clock::time_point arrived = Clock::now();
    std::lock_guard lock(mutex_);
    if (lineBytes_ == 0) return n;
    // An erase takes its own time; only a plain answer shows the line's.
    if (buf[0] != kErase) {
        const std::chrono::nanoseconds wire(kByteTimeNs * static_cast<std::int64_t>(lineBytes_ + 1));
        const auto extra = std::chrono::duration<double>(arrived - lineStart_ - wire).count();
        ++figures_.timedAnswers;
        if (extra > 0) figures_.extraSeconds += extra;
    }
    lineBytes_ = 0;
    return n;
}

}  // namespace qelisp::cli
