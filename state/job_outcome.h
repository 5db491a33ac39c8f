#pragma once
// How a job ended, as a value. Front ends read this, never the status text:
// the texts are for the user and may be worded as the instrument's maker
// wishes without changing an exit status.
#include <cstdint>

namespace qelisp {

enum class JobOutcome : std::uint8_t {
    Running,
    Succeeded,
    Failed,
    Cancelled,
};

// Where a failed job stopped: the step of the loader conversation.
enum class JobStep : std::uint8_t {
    None,
    Handshake,    // 'U' and its echo
    StartRecord,  // the image has no record for 03000H
    BeginLine,    // the 06 line that starts a programming run
    PageSelect,   // 04
    DataRecord,   // 00
    PageEnd,      // 05
    EndLine,      // 01
    ReadRequest,  // 02 and its answer, up to the block
    ReadBack,     // the block compared with the image
};

// Why it stopped there, as far as the program can tell.
enum class FailureCause : std::uint8_t {
    None,
    NoPort,           // no port was open
    NoAnswer,         // nothing came within the read time-out
    PortGone,         // the port failed: the adapter was unplugged, or stopped taking bytes
    WrongAnswer,      // a byte that is no answer to the line
    EraseNeverEnded,  // 'E' and then nothing for the whole erase wait
    StrayBytes,       // bytes no line asked for
    ReadBackDiffers,  // the same block differed three times
};

struct JobResult {
    JobOutcome outcome = JobOutcome::Running;
    JobStep step = JobStep::None;
    FailureCause cause = FailureCause::None;

    bool operator==(const JobResult&) const = default;
};

// What a status text is, for a front end that keeps some lines and not
// others: it never needs to read the text for that.
enum class StatusKind : std::uint8_t {
    Step,     // connecting, an erase that failed, a cancel heard in an erase
    Erasing,  // "Erasing Flash " and the dots it gains
    Address,  // the record being written or verified
    Result,   // the job's last text: success, failure or cancel
};

}  // namespace qelisp
