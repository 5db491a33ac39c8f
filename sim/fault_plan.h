#pragma once
// Faults injected by number: --fault N:KIND acts on the N-th command line
// since start-up (1-based, counted across sessions), N-M:KIND on lines N to M
// and N-:KIND on line N and every one after it, --fault uN:KIND on the N-th
// handshake 'U', and --fault '*:KIND' on every command line that has no
// fault of its own.
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
    EraseDouble,   // 'E', the erase time, '.', then the normal answer
    Double,        // the normal answer, then one more '.' after a delay
    Xoff,          // the normal answer, then XOFF after a delay and XON 30 ms later
    Late,          // the normal answer, a delay after the line has arrived
    Corrupt,       // read request: byte 5 of the block sent with bit 0 flipped
    Noise,         // read request: junk between '.' and 'A'
    NoA,           // read request: '.' only
    Short,         // read request: '.', 'A' and only 100 hex characters
    HangUp,        // close the line without answering
    AckHangUp,     // read request: '.', then close the line before the 'A'
    BlockHangUp,   // read request: '.', 'A', 100 hex characters, then close the line
};

struct Fault {
    FaultKind kind = FaultKind::Silence;
    // Double, Xoff: how long after the answer the extra '.' or the XOFF goes
    // out; Late: how long after the line's last byte the answer starts.
    std::uint32_t delayMs = 0;

    bool operator==(const Fault&) const = default;
};

// "silence", "double@100": the text a --fault names it by.
std::string faultName(const Fault& fault);

class FaultPlan {
public:
    static constexpr std::uint32_t kMaxDelayMs = 1000;

    // Adds one "N:KIND", "N-M:KIND", "N-:KIND", "uN:KIND" or "*:KIND". On a
    // bad text returns false and says why in `error`; kinds that only shape
    // a read-back or time an answer are refused for a handshake, a target
    // may carry one fault only, and ranges may not overlap.
    bool add(std::string_view text, std::string& error);

    // A fault for the line's own number wins over a range's, and a range's
    // over the one for every line.
    std::optional<Fault> forLine(std::uint64_t line) const;
    std::optional<Fault> forHandshake(std::uint64_t handshake) const;
    bool empty() const { return lines_.empty() && ranges_.empty() && handshakes_.empty() && !everyLine_; }

private:
    struct Range {
        std::uint64_t last = 0;  // included; UINT64_MAX for "N-"
        Fault fault;
    };

    std::map<std::uint64_t, Fault> lines_;
    std::map<std::uint64_t, Range> ranges_;  // by first line
    std::map<std::uint64_t, Fault> handshakes_;
    std::optional<Fault> everyLine_;
};

}  // namespace qelisp::sim
