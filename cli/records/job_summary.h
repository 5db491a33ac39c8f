#pragma once
// The end of a run over several ports: one row per port and the exit status.
#include <string>
#include <vector>

namespace qelisp::cli {

// The program's exit status.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJobFailed = 1;
inline constexpr int kExitUsage = 2;  // the command line is wrong: nothing ran
// Stopped by Ctrl-C, SIGTERM or a closed terminal, as shells count SIGINT.
inline constexpr int kExitInterrupted = 130;

struct PortOutcome {
    enum class Kind {
        Succeeded,
        Failed,     // the job ended with an error or was cancelled
        NotOpened,  // the port could not be opened: no job ran on it
    };
    std::string port;  // as the user gave it
    Kind kind = Kind::Failed;
    std::string result;  // the job's last status, or why the port could not be opened
    double seconds = 0;  // from the job's start to its end
    std::string job;     // "program" or "verify"; empty for a port that was not opened
};

// "port  result  time" with a row per port and job, columns aligned; with
// `jobs` a column says which job each row is. A result's own timer ("Time
// Elapsed 61.2S") is left to the time column. `utf8`: the terminal shows
// UTF-8, so a port's name beyond ASCII stays as it is.
std::string summaryTable(const std::vector<PortOutcome>& outcomes, bool jobs = false, bool utf8 = false);

// 0 when every job on every port succeeded; else 1: a port that could not
// be used is an instrument that was not updated, like one that failed, so a
// bench counts both alike. 2 (the command line was wrong) only when there is
// nothing to sum up.
int exitStatus(const std::vector<PortOutcome>& outcomes);

}  // namespace qelisp::cli
