#pragma once
// The loader's expectations of its peer. Each breach is counted and logged as
// one line naming the line number and the rule.
#include <cstdint>
#include <string>

namespace qelisp::sim {

enum class Rule {
    // Line form
    NoCrLf,
    LowerCaseHex,
    Malformed,      // not colon + hex pairs, or too short
    CountMismatch,  // count field against the number of data bytes
    BadChecksum,
    UnknownType,
    Overlong,    // more than 600 characters without LF; discarded
    BrokenLine,  // a 'U' in the middle of a line; the line is dropped
    StrayBytes,  // between lines, anything but 'U' or ':'
    // Session order
    NoHandshake,
    AfterEnd,
    BeginNotFirst,
    BeginTwice,
    BeginData,
    PageSelectCount,
    PageStillOpen,
    PageOrder,
    DataNoPage,
    DataOutsidePage,
    DataCount,
    DataAlignment,
    DataOrder,
    DataBelowApplication,
    UnerasedFlash,
    PageEndNoPage,
    EndWithPageOpen,
    EndBeforeBegin,
    // Read requests
    ReadCount,
    ReadRange,
    ReadAlignment,
    ReadBeyondFlash,
};

const char* describe(Rule rule);

struct Violation {
    std::uint64_t line = 0;     // the line it concerns; for stray bytes the line before them
    bool betweenLines = false;  // stray bytes: "after line N"
    Rule rule = Rule::Malformed;
    std::string detail;  // may be empty
};

// "line 12: data record outside the selected page (address 0x05000, page 0x04)"
std::string format(const Violation& violation);

}  // namespace qelisp::sim
