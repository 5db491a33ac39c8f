#pragma once
// Faults injected by number: --fault N:KIND acts on the N-th command line
// since start-up (1-based, counted across sessions), --fault uN:KIND on the
// N-th handshake 'U'.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qelisp::sim {

enum class FaultKind {
    Silence,       // no answer, not applied
    Wrong,         // '?' instead of the answer, not applied
    Erase,         // 'E', the erase time, then the normal answer
    EraseForever,  // 'E' and then nothing
    EraseBad,      // 'E', the erase time, then 'x'; not applied
    Corrupt,       // read request: byte 5 of the block sent with bit 0 flipped
    Noise,         // read request: junk between '.' and 'A'
    NoA,           // read request: '.' only
    Short,         // read request: '.', 'A' and only 100 hex characters
    HangUp,        // close the line without answering
    AckHangUp,     // read request: '.', then close the line before the 'A'
    BlockHangUp,   // read request: '.', 'A', 100 hex characters, then close the line
};

std::optional<FaultKind> parseFaultKind(std::string_view name);
const char* faultKindName(FaultKind kind);

class FaultPlan {
public:
    // Adds one "N:KIND" or "uN:KIND". On a bad text returns false and says
    // why in `error`; kinds that only shape a read-back are refused for a
    // handshake, and a target may carry one fault only.
    bool add(std::string_view text, std::string& error);

    std::optional<FaultKind> forLine(std::uint64_t line) const;
    std::optional<FaultKind> forHandshake(std::uint64_t handshake) const;
    bool empty() const { return lines_.empty() && handshakes_.empty(); }

private:
    std::map<std::uint64_t, FaultKind> lines_;
    std::map<std::uint64_t, FaultKind> handshakes_;
};

}  // namespace qelisp::sim
