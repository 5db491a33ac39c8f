#pragma once
// The end of a run over several ports: one row per port and the exit status.
#include <string>
#include <vector>

namespace qelisp::cli {

// The program's exit status.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJobFailed = 1;
inline constexpr int kExitUsage = 2;

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
};

// "port  result  time" with a row per port, columns aligned.
std::string summaryTable(const std::vector<PortOutcome>& outcomes);

// 0 when every instrument succeeded; 2 when a port could not be opened (a
// setup fault, as for a single port), even though the others ran; else 1.
int exitStatus(const std::vector<PortOutcome>& outcomes);

}  // namespace qelisp::cli
