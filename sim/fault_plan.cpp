#include "sim/fault_plan.h"

#include <array>
#include <charconv>
#include <iterator>
#include <limits>
#include <utility>

namespace qelisp::sim {
namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

constexpr std::array<std::pair<std::string_view, FaultKind>, 16> kNames{{
    {"silence", FaultKind::Silence},
    {"wrong", FaultKind::Wrong},
    {"erase", FaultKind::Erase},
    {"erase-forever", FaultKind::EraseForever},
    {"erase-bad", FaultKind::EraseBad},
    {"erase-double", FaultKind::EraseDouble},
    {"double", FaultKind::Double},
    {"xoff", FaultKind::Xoff},
    {"late", FaultKind::Late},
    {"corrupt", FaultKind::Corrupt},
    {"noise", FaultKind::Noise},
    {"no-a", FaultKind::NoA},
    {"short", FaultKind::Short},
    {"hangup", FaultKind::HangUp},
    {"hangup-after-ack", FaultKind::AckHangUp},
    {"hangup-in-block", FaultKind::BlockHangUp},
}};

bool shapesReadBack(FaultKind kind) {
    return kind == FaultKind::Corrupt || kind == FaultKind::Noise || kind == FaultKind::NoA ||
           kind == FaultKind::Short || kind == FaultKind::AckHangUp || kind == FaultKind::BlockHangUp;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<FaultKind> kindNamed(std::string_view name) {
    for (const auto& [text, kind] : kNames) {
        if (text == name) return kind;
    }
    return std::nullopt;
}

bool takesDelay(FaultKind kind) {
    return kind == FaultKind::Double || kind == FaultKind::Xoff || kind == FaultKind::Late;
}

std::optional<Fault> lookup(const std::map<std::uint64_t, Fault>& map, std::uint64_t n) {
    auto it = map.find(n);
    if (it == map.end()) return std::nullopt;
    return it->second;
}

std::string rangeName(std::uint64_t first, std::uint64_t last) {
    return std::to_string(first) + "-" + (last == kNoEnd ? "" : std::to_string(last));
}

// Lines `first` to `last` as a target: a number N, a range N-M or N-.
struct LineTarget {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool range = false;
};

std::optional<LineTarget> parseLineTarget(std::string_view text) {
    const auto dash = text.find('-');
    const auto first = parseNumber<std::uint64_t>(text.substr(0, dash));
    if (!first || *first == 0) return std::nullopt;
    if (dash == std::string_view::npos) return LineTarget{*first, *first, false};
    const std::string_view end = text.substr(dash + 1);
    const auto last = end.empty() ? std::optional(kNoEnd) : parseNumber<std::uint64_t>(end);
    if (!last) return std::nullopt;
    return LineTarget{*first, *last, true};
}

}  // namespace

std::string faultName(const Fault& fault) {
    for (const auto& [text, kind] : kNames) {
        if (kind != fault.kind) continue;
        std::string name(text);
        if (takesDelay(kind)) name += "@" + std::to_string(fault.delayMs);
        return name;
    }
    return "?";
}

bool FaultPlan::add(std::string_view text, std::string& error) {
    const std::string quoted = "fault '" + std::string(text) + "': ";
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = quoted + "expected TARGET:KIND, for example 12:silence, 5-9:wrong, u2:wrong or '*:double@100'";
        return false;
    }
    std::string_view target = text.substr(0, colon);
    std::string_view kindName = text.substr(colon + 1);

    const bool every = target == "*";
    const bool handshake = !target.empty() && target.front() == 'u';
    if (handshake) target.remove_prefix(1);
    const auto lines = every ? std::optional<LineTarget>{} : parseLineTarget(target);
    if (!every && !lines) {
        error = quoted +
                "target must be a line number N, lines N-M or N- (counted from 1), a handshake uN or * for every "
                "line";
        return false;
    }
    if (lines && lines->range && handshake) {
        error = quoted + "a range is for command lines only, not for handshakes";
        return false;
    }
    if (lines && lines->last < lines->first) {
        error = quoted + "a range N-M must not end before it starts";
        return false;
    }

    std::optional<std::uint32_t> delayMs;
    if (const auto at = kindName.find('@'); at != std::string_view::npos) {
        delayMs = parseNumber<std::uint32_t>(kindName.substr(at + 1));
        kindName = kindName.substr(0, at);
        const auto named = kindNamed(kindName);
        if (!named || !takesDelay(*named) || !delayMs || *delayMs > kMaxDelayMs) {
            error = quoted + "only double, xoff and late take @MS, with MS from 0 to 1000";
            return false;
        }
    }
    const auto kind = kindNamed(kindName);
    if (!kind) {
        error = quoted +
                "unknown kind; use silence, wrong, erase, erase-forever, erase-bad, erase-double, "
                "double@MS, xoff@MS, late@MS, corrupt, noise, no-a, short, hangup, hangup-after-ack or "
                "hangup-in-block";
        return false;
    }
    if (takesDelay(*kind) && !delayMs) {
        error = quoted + std::string(kindName) + " needs a delay, as " + std::string(kindName) + "@MS";
        return false;
    }
    if (handshake && shapesReadBack(*kind)) {
        error = quoted + std::string(kindName) + " only applies to a read request line";
        return false;
    }
    if (handshake && takesDelay(*kind)) {
        error = quoted + std::string(kindName) + " only applies to a command line, not to a handshake";
        return false;
    }

    const Fault fault{*kind, delayMs.value_or(0)};
    if (every) {
        if (everyLine_) {
            error = quoted + "only one fault may target every line";
            return false;
        }
        everyLine_ = fault;
        return true;
    }
    if (lines->range) {
        // Ranges do not overlap one another, so only the last one that
        // starts at or before this one's end can reach into it.
        auto next = ranges_.upper_bound(lines->last);
        if (next != ranges_.begin()) {
            const auto& [first, before] = *std::prev(next);
            if (before.last >= lines->first) {
                error = quoted + "lines " + rangeName(first, before.last) + " already have a fault";
                return false;
            }
        }
        ranges_.emplace(lines->first, Range{lines->last, fault});
        return true;
    }
    auto& map = handshake ? handshakes_ : lines_;
    if (!map.emplace(lines->first, fault).second) {
        error = quoted + "that target already has a fault";
        return false;
    }
    return true;
}

std::optional<Fault> FaultPlan::forLine(std::uint64_t line) const {
    if (const auto own = lookup(lines_, line)) return own;
    if (auto after = ranges_.upper_bound(line); after != ranges_.begin()) {
        const Range& range = std::prev(after)->second;
        if (range.last >= line) return range.fault;
    }
    return everyLine_;
}

std::optional<Fault> FaultPlan::forHandshake(std::uint64_t handshake) const { return lookup(handshakes_, handshake); }

}  // namespace qelisp::sim
