#include "sim/fault_plan.h"

#include <array>
#include <charconv>
#include <utility>

namespace qelisp::sim {
namespace {

constexpr std::array<std::pair<std::string_view, FaultKind>, 15> kNames{{
    {"silence", FaultKind::Silence},
    {"wrong", FaultKind::Wrong},
    {"erase", FaultKind::Erase},
    {"erase-forever", FaultKind::EraseForever},
    {"erase-bad", FaultKind::EraseBad},
    {"erase-double", FaultKind::EraseDouble},
    {"double", FaultKind::Double},
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

bool takesDelay(FaultKind kind) { return kind == FaultKind::Double || kind == FaultKind::Late; }

std::optional<Fault> lookup(const std::map<std::uint64_t, Fault>& map, std::uint64_t n) {
    auto it = map.find(n);
    if (it == map.end()) return std::nullopt;
    return it->second;
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
        error = quoted + "expected TARGET:KIND, for example 12:silence, u2:wrong or '*:double@100'";
        return false;
    }
    std::string_view target = text.substr(0, colon);
    std::string_view kindName = text.substr(colon + 1);

    const bool every = target == "*";
    const bool handshake = !target.empty() && target.front() == 'u';
    if (handshake) target.remove_prefix(1);
    const auto number = every ? std::optional<std::uint64_t>{} : parseNumber<std::uint64_t>(target);
    if (!every && (!number || *number == 0)) {
        error = quoted + "target must be a line number N, a handshake uN (counted from 1) or * for every line";
        return false;
    }

    std::optional<std::uint32_t> delayMs;
    if (const auto at = kindName.find('@'); at != std::string_view::npos) {
        delayMs = parseNumber<std::uint32_t>(kindName.substr(at + 1));
        kindName = kindName.substr(0, at);
        const auto named = kindNamed(kindName);
        if (!named || !takesDelay(*named) || !delayMs || *delayMs > kMaxDelayMs) {
            error = quoted + "only double and late take @MS, with MS from 0 to 1000";
            return false;
        }
    }
    const auto kind = kindNamed(kindName);
    if (!kind) {
        error = quoted +
                "unknown kind; use silence, wrong, erase, erase-forever, erase-bad, erase-double, "
                "double@MS, late@MS, corrupt, noise, no-a, short, hangup, hangup-after-ack or hangup-in-block";
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
    auto& map = handshake ? handshakes_ : lines_;
    if (!map.emplace(*number, fault).second) {
        error = quoted + "that target already has a fault";
        return false;
    }
    return true;
}

std::optional<Fault> FaultPlan::forLine(std::uint64_t line) const {
    const auto own = lookup(lines_, line);
    return own ? own : everyLine_;
}

std::optional<Fault> FaultPlan::forHandshake(std::uint64_t handshake) const { return lookup(handshakes_, handshake); }

}  // namespace qelisp::sim
