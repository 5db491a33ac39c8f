#pragma once
// A loader that keeps sending '.' nobody asked for: from each echoed 'U' on
// until the client closes the port, either one dot per period or as fast as
// the port takes them. The k-th dot is due k periods after the start, on an
// absolute schedule: a late wake-up owes the dots it missed at once rather
// than pushing all later ones back. Times are nanoseconds on any monotonic
// scale.
#include <cstdint>
#include <optional>
#include <string_view>

namespace qelisp::sim {

struct DotStreamRate {
    // 0: as fast as the port takes them; otherwise one dot per period.
    std::int64_t periodNs = 0;

    bool operator==(const DotStreamRate&) const = default;
};

// "fast", "byte" (one byte time at 115200 8N1) or whole milliseconds 1 to
// 1000; nothing for any other text.
std::optional<DotStreamRate> parseDotStreamRate(std::string_view text);

class DotStream {
public:
    static constexpr std::uint32_t kMaxPeriodMs = 1000;

    DotStream() = default;  // never runs
    explicit DotStream(DotStreamRate rate) : rate_(rate), enabled_(true) {}

    // (Re)starts the stream: the first dot is due one period after `at`, or
    // for a fast stream at `at` itself. Does nothing for a disabled stream.
    void start(std::int64_t at);
    void stop() { running_ = false; }

    bool running() const { return running_; }
    bool fast() const { return rate_.periodNs == 0; }

    // When the next dot is due; only while running.
    std::int64_t nextAt() const;
    // When to hand dots over: the first on time, later ones that follow one
    // another back to back in batches, none early and the first of a batch
    // at most `batchNs` late. Only while running.
    std::int64_t wakeAt(std::int64_t batchNs) const;
    // How many dots are due by `now` and not yet handed over; for a fast
    // stream after its start, as many as `limit`.
    std::uint64_t due(std::int64_t now, std::uint64_t limit) const;
    // `count` dots are done with, sent or lost.
    void handedOver(std::uint64_t count) { handedOver_ += count; }

private:
    DotStreamRate rate_;
    bool enabled_ = false;
    bool running_ = false;
    std::int64_t start_ = 0;
    std::uint64_t handedOver_ = 0;
};

}  // namespace qelisp::sim
