#pragma once
// Running fault cases end to end: qelisp-sim with the case's faults on a pty,
// qelisp-cli against it, optionally a Ctrl-C once a status line shows, and a
// verdict on what the user saw.
#include "tests/support/programmed_flash.h"
#include "tests/support/temp_dir.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qelisp::test {

enum class Job { Program, Verify };
const char* jobName(Job job);

// Ctrl-C `delayMs` after the first status line that starts with `line`.
struct CancelAt {
    std::string line;
    std::uint32_t delayMs = 0;
};

// A cancel must end the job within a read's time; the rest is the console
// program noticing the end and exiting.
inline constexpr std::uint32_t kCancelHeardMs = 400;

struct MatrixCase {
    Job job;
    std::string step;
    std::string fault;
    std::vector<std::string> simArgs;  // the faults, and anything else the case needs
    std::optional<CancelAt> cancel;
    std::string status;  // the last status line; for a success text, its start;
                         // empty: the error of the step that heard a stray byte
    int exitCode = 1;
    // The time the protocol allows the fault: from the last command line the
    // job sent to its end (for the handshake, from the start); for a job
    // that still succeeds, what the fault may add to a clean run.
    std::uint32_t costMs = 0;
    // Command lines the loader may hear in all: a job that failed or was
    // cancelled at line N sends nothing after it. None: not checked.
    std::optional<std::uint64_t> lines;
    // Why no program can tell this loader from an honest one, when that is
    // so: the job may then end in a success it is not entitled to (the
    // table says so), or fail as a stray byte makes it (empty status).
    std::string outOfReach{};
};

// The job is to succeed in spite of the fault (a block fine on its second
// reading).
bool expectsSuccess(const MatrixCase& c);

struct MatrixResult {
    std::string lastStatus;
    int exitCode = -1;
    std::uint32_t elapsedMs = 0;
    std::uint32_t stepMs = 0;  // what the costMs of its case bounds
    std::uint32_t cancelToEndMs = 0;
    std::uint64_t linesHeard = 0;
    bool notCaught = false;  // a case out of reach ended in a success
    std::string problems;    // empty: the case passed
    std::string stdoutTail;
    std::string stderrText;
};

// A run that exchanges thousands of lines at full speed keeps the program and
// the simulator busy; with more of them than cores, a reply can miss its
// 200 ms read budget on a loaded machine. Such a run holds a slot for its
// length; there is one slot per core.
class FullSpeedSlot {
public:
    FullSpeedSlot();
    ~FullSpeedSlot();
    FullSpeedSlot(const FullSpeedSlot&) = delete;
    FullSpeedSlot& operator=(const FullSpeedSlot&) = delete;
};

// What qelisp-cli showed for one job against the instrument on `port`.
struct CliOutcome {
    std::string lastStatus;
    int exitCode = -1;
    bool ended = false;
    bool successShown = false;  // a success text appeared, last or not
    std::string hint;           // the hint after a failure, without "hint: "; empty when none
    std::uint32_t elapsedMs = 0;
    std::uint32_t cancelToEndMs = 0;
    // From the program's own --trace, in ms since it started: when the last
    // command line (or 'U') went out, and its last trace line, at its end.
    std::uint32_t lastSentMs = 0;
    std::uint32_t lastTracedMs = 0;
    // The command lines the trace shows going out, the last of them, and the
    // remark on the first byte no line asked for (empty: none), with whether
    // anything went out after it.
    std::uint64_t linesSent = 0;
    std::string lastLineSent;
    std::string unexpected;
    bool sentAfterUnexpected = false;
    std::string problems;  // the Ctrl-C's line never showed
    std::string stdoutTail;
    std::string stderrText;
};

// The status a job ends with when the loader sent bytes no line asked for:
// the error of the step that heard them, read off the trace: the line that
// was about to go out, or else the last that did. Empty when the trace names
// no such byte.
std::string strayByteStatus(Job job, const CliOutcome& outcome);

CliOutcome runCli(Job job, const std::string& port, const std::optional<CancelAt>& cancel, std::uint32_t timeoutMs);

class MatrixRunner {
public:
    MatrixRunner();

    // Runs a clean run of each job and the cases, side by side, and returns
    // the cases' results in order. A case that succeeds may take twice its
    // job's clean run plus what its fault may add; that is judged once the
    // clean runs are timed.
    std::vector<MatrixResult> runAll(const std::vector<MatrixCase>& cases);

    std::uint32_t cleanMs(Job job) const { return job == Job::Program ? cleanProgramMs_ : cleanVerifyMs_; }

private:
    MatrixResult run(const MatrixCase& c);

    TempDir dir_;
    std::string flashFile_;
    // Until measured: what a run may take at most, for its time-out.
    std::uint32_t cleanProgramMs_;
    std::uint32_t cleanVerifyMs_;
};

}  // namespace qelisp::test
