#pragma once
// The instrument's resident loader as a state machine: bytes in, reply
// actions out, no I/O and no clock. It echoes the 'U' handshake, acknowledges
// each accepted line with '.', erases on the begin line, programs data records
// into the flash, answers read requests with 'A' and 256 hex characters, and
// checks every line against what it expects of the program.
#include "sim/fault_plan.h"
#include "sim/nor_flash.h"
#include "sim/reply.h"
#include "sim/sim_stats.h"
#include "sim/violation.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qelisp {
struct HexLine;
}

namespace qelisp::sim {

using LogSink = std::function<void(const std::string&)>;

struct LoaderOptions {
    bool erase = true;     // false: the begin line is acknowledged without an erase
    bool verbose = false;  // log every line and every reply, not only violations
    LogSink log;           // where log lines go; none: nowhere
};

class Loader {
public:
    static constexpr std::uint32_t kApplicationStart = 0x3000;
    static constexpr std::size_t kMaxLineLength = 600;
    static constexpr std::size_t kKeptViolations = 10'000;

    explicit Loader(LoaderOptions options = {}, FaultPlan faults = {});

    // Takes received bytes in order; answers are appended to `out`.
    void receive(std::uint8_t byte, Replies& out);
    void receive(std::span<const std::uint8_t> bytes, Replies& out);

    // The peer went away: a half-received line is dropped and the next one
    // must start with a handshake again. The flash stays.
    void linkDropped();

    NorFlash& flash() { return flash_; }
    const NorFlash& flash() const { return flash_; }
    SimStats stats() const { return {lines_, violationCount_, flash_.bytesWritten()}; }
    // The first kKeptViolations, in order.
    const std::vector<Violation>& violations() const { return violations_; }

private:
    enum class Rx { BetweenLines, InLine, Discarding };

    void handshake(Replies& out);
    void completeLine(Replies& out);
    Replies answer(const HexLine& line, std::optional<FaultKind> fault);
    Replies begin(const HexLine& line);
    Replies pageSelect(const HexLine& line);
    Replies data(const HexLine& line);
    Replies pageEnd();
    Replies endOfRun();
    Replies readRequest(const HexLine& line, std::optional<FaultKind> fault);
    void violate(Rule rule, std::string detail = {});
    void record(Violation violation);
    void strayByte(std::uint8_t byte);
    void resetSession();
    void log(const std::string& text) const;
    void logFault(const Fault& fault, const char* what, std::uint64_t number) const;
    void logReplies(const char* what, std::uint64_t number, const Replies& replies) const;

    LoaderOptions options_;
    FaultPlan faults_;
    NorFlash flash_;

    Rx rx_ = Rx::BetweenLines;
    std::string line_;
    bool inStrayRun_ = false;

    std::uint64_t lines_ = 0;
    std::uint64_t handshakes_ = 0;
    std::uint64_t violationCount_ = 0;
    std::vector<Violation> violations_;

    // Session: from one handshake to the next.
    bool sessionOpen_ = false;
    std::uint64_t linesInSession_ = 0;
    bool begun_ = false;
    bool finished_ = false;
    std::optional<std::uint8_t> openPage_;
    std::optional<std::uint8_t> lastPage_;
    std::uint8_t pageRegister_ = 0;  // last page selected; data addresses use it
    std::optional<std::uint32_t> lastDataAddress_;
};

}  // namespace qelisp::sim
