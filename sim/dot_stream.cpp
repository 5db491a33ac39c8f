#include "sim/dot_stream.h"

#include "sim/wire_pacer.h"

#include <algorithm>
#include <charconv>

namespace qelisp::sim {

std::optional<DotStreamRate> parseDotStreamRate(std::string_view text) {
    if (text == "fast") return DotStreamRate{0};
    if (text == "byte") return DotStreamRate{WirePacer::kByteTime115200};
    std::uint32_t ms = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || ms < 1 ||
        ms > DotStream::kMaxPeriodMs) {
        return std::nullopt;
    }
    return DotStreamRate{std::int64_t{ms} * 1'000'000};
}

void DotStream::start(std::int64_t at) {
    if (!enabled_) return;
    running_ = true;
    start_ = at;
    handedOver_ = 0;
}

std::int64_t DotStream::nextAt() const {
    return start_ + static_cast<std::int64_t>(handedOver_ + (fast() ? 0 : 1)) * rate_.periodNs;
}

std::int64_t DotStream::wakeAt(std::int64_t batchNs) const {
    // A fast stream is due at once; one slower than the wire has idle time
    // between its dots.
    if (fast() || handedOver_ == 0 || rate_.periodNs > WirePacer::kByteTime115200) return nextAt();
    return nextAt() + batchNs / rate_.periodNs * rate_.periodNs;
}

std::uint64_t DotStream::due(std::int64_t now, std::uint64_t limit) const {
    if (!running_ || now < start_) return 0;
    if (fast()) return limit;
    const auto owed = static_cast<std::uint64_t>((now - start_) / rate_.periodNs);
    return std::min(limit, owed > handedOver_ ? owed - handedOver_ : 0);
}

}  // namespace qelisp::sim
