#include "sim/fault_plan.h"

#include <array>
#include <charconv>
#include <utility>

namespace qelisp::sim {
namespace {

constexpr std::array<std::pair<std::string_view, FaultKind>, 12> kNames{{
    {"silence", FaultKind::Silence},
    {"wrong", FaultKind::Wrong},
    {"erase", FaultKind::Erase},
    {"erase-forever", FaultKind::EraseForever},
    {"erase-bad", FaultKind::EraseBad},
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

std::optional<FaultKind> lookup(const std::map<std::uint64_t, FaultKind>& map, std::uint64_t n) {
    auto it = map.find(n);
    if (it == map.end()) return std::nullopt;
    return it->second;
}

}  // namespace

std::optional<FaultKind> parseFaultKind(std::string_view name) {
    for (const auto& [text, kind] : kNames) {
        if (text == name) return kind;
    }
    return std::nullopt;
}

const char* faultKindName(FaultKind kind) {
    for (const auto& [text, k] : kNames) {
        if (k == kind) return text.data();
    }
    return "?";
}

bool FaultPlan::add(std::string_view text, std::string& error) {
    const std::string quoted = "fault '" + std::string(text) + "': ";
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = quoted + "expected TARGET:KIND, for example 12:silence or u2:wrong";
        return false;
    }
    std::string_view target = text.substr(0, colon);
    const std::string_view kindName = text.substr(colon + 1);

    const bool handshake = !target.empty() && target.front() == 'u';
    if (handshake) target.remove_prefix(1);
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(target.data(), target.data() + target.size(), number);
    if (target.empty() || ec != std::errc{} || end != target.data() + target.size() || number == 0) {
        error = quoted + "target must be a line number N or a handshake uN, counted from 1";
        return false;
    }
    const auto kind = parseFaultKind(kindName);
    if (!kind) {
        error = quoted + "unknown kind; use silence, wrong, erase, erase-forever, erase-bad, "
                         "corrupt, noise, no-a, short, hangup, hangup-after-ack or hangup-in-block";
        return false;
    }
    if (handshake && shapesReadBack(*kind)) {
        error = quoted + std::string(kindName) + " only applies to a read request line";
        return false;
    }
    auto& map = handshake ? handshakes_ : lines_;
    if (!map.emplace(number, *kind).second) {
        error = quoted + "that target already has a fault";
        return false;
    }
    return true;
}

std::optional<FaultKind> FaultPlan::forLine(std::uint64_t line) const { return lookup(lines_, line); }

std::optional<FaultKind> FaultPlan::forHandshake(std::uint64_t handshake) const {
    return lookup(handshakes_, handshake);
}

}  // namespace qelisp::sim
