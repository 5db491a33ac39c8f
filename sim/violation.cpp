#include "sim/violation.h"

namespace qelisp::sim {

const char* describe(Rule rule) {
    switch (rule) {
        case Rule::NoCrLf: return "line does not end in CR LF";
        case Rule::LowerCaseHex: return "lower-case hexadecimal digit";
        case Rule::Malformed: return "malformed line";
        case Rule::CountMismatch: return "count field does not match the line length";
        case Rule::BadChecksum: return "bad checksum";
        case Rule::UnknownType: return "unknown record type";
        case Rule::Overlong: return "line longer than 600 characters, discarded";
        case Rule::BrokenLine: return "line broken off by a handshake 'U'";
        case Rule::StrayBytes: return "stray bytes between lines";
        case Rule::NoHandshake: return "line before any handshake";
        case Rule::AfterEnd: return "line after the end line (0x01) without a new handshake";
        case Rule::BeginNotFirst: return "begin line (0x06) not right after the handshake";
        case Rule::BeginTwice: return "begin line (0x06) twice in one session";
        case Rule::BeginData: return "begin line (0x06) data is not 03 1A";
        case Rule::PageSelectCount: return "page select (0x04) count is not 1";
        case Rule::PageStillOpen: return "page select (0x04) while a page is open (missing page end 0x05)";
        case Rule::PageOrder: return "page select (0x04) not above the previous page of the run";
        case Rule::DataNoPage: return "data record (0x00) with no page open";
        case Rule::DataOutsidePage: return "data record (0x00) outside the selected page";
        case Rule::DataCount: return "data record (0x00) count is not 128";
        case Rule::DataAlignment: return "data record (0x00) address not a multiple of 128";
        case Rule::DataOrder: return "data record (0x00) address not above the previous one of the run";
        case Rule::DataBelowApplication: return "data record (0x00) below the application area 0x03000";
        case Rule::UnerasedFlash: return "data record (0x00) programs unerased flash";
        case Rule::PageEndNoPage: return "page end (0x05) with no page open";
        case Rule::EndWithPageOpen: return "end line (0x01) while a page is open (missing page end 0x05)";
        case Rule::EndBeforeBegin: return "end line (0x01) before the begin line (0x06)";
        case Rule::ReadCount: return "read request (0x02) count is not 8";
        case Rule::ReadRange: return "read request (0x02) end is not start + 127";
        case Rule::ReadAlignment: return "read request (0x02) start not a multiple of 128";
        case Rule::ReadBeyondFlash: return "read request (0x02) beyond the 1 MB flash";
    }
    return "unknown rule";
}

std::string format(const Violation& violation) {
    std::string text = violation.betweenLines ? "after line " : "line ";
    text += std::to_string(violation.line);
    text += ": ";
    text += describe(violation.rule);
    if (!violation.detail.empty()) text += " (" + violation.detail + ")";
    return text;
}

}  // namespace qelisp::sim
