#pragma once
// The signals a running job listens for. Ctrl-C, SIGTERM and a closed
// terminal (SIGHUP) each raise `stop`, and the jobs are then cancelled as a
// closing window cancels them. Whatever the process is doing when one comes
// (waiting for a port, running, summing up, or waiting for a stalled reader
// to take its output), it ends within kStopLimit, with the exit status
// shells give a process that signal ended. A reader that went away
// (SIGPIPE) no longer ends the process in the middle of an update: the
// write fails instead, the program says so once, and the job goes on.
#include <atomic>
#include <chrono>

namespace qelisp::cli {

// What stopped the run.
enum class StopCause {
    None,
    Interrupt,  // Ctrl-C (SIGINT; on Windows Ctrl-C or Ctrl-Break)
    Terminate,  // SIGTERM (on Windows the user logging off, or a shutdown)
    HangUp,     // the terminal closed (SIGHUP; on Windows the console window)
};

// From the stop on, the time the run has to end by itself (cancel its jobs,
// sum up, give a stalled reader its last lines); past it the process ends
// without whatever is still unwritten. It leaves room inside the 400 ms a
// stop may take, on a busy machine too.
inline constexpr std::chrono::milliseconds kStopLimit{350};

// Call once, before any thread starts. A signal the program was started
// with ignored (nohup, a background job) stays ignored.
void catchStopSignals(std::atomic<bool>& stop);

// For the platform's catcher: keeps the first cause, true when it is it.
bool noteStop(StopCause cause);
// The first stop that came; None before any.
StopCause stopCause();

// The exit status after a stop, as shells report a process the signal
// ended (128 + its number): 130 Ctrl-C, 143 SIGTERM, 129 SIGHUP. 130 when
// no signal was noted.
int stopExitStatus();

}  // namespace qelisp::cli
