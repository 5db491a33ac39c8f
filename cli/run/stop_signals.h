#pragma once
// The signals a running job listens for. Ctrl-C, SIGTERM and a closed
// terminal (SIGHUP) each raise `stop`, and the jobs are then cancelled as a
// closing window cancels them. Whatever the process is doing when one comes
// (waiting for a port, running, summing up, or waiting for a stalled reader
// to take its output), it ends within kStopLimit, with the exit status
// shells give a process that signal ended. On Windows the console's handler
// waits for the run's last lines instead (kConsoleStopLimit). A reader that went away
// (SIGPIPE) no longer ends the process in the middle of an update: the
// write fails instead, the program says so once, and the job goes on.
#include <atomic>
#include <chrono>
#include <optional>

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

// On Windows the console calls its handler on a thread of its own, and the
// process ends when that thread ends it: after a stop it waits for the run
// to say it is over (runOver), whose own limits (kCancelGrace for the jobs,
// 100 ms for a stalled reader) keep that within about 400 ms, so that "User
// Canceled" and its hint reach the console. This limit is for a run that
// never says so; it stays below the 5 s the system gives a handler when the
// console closes.
inline constexpr std::chrono::milliseconds kConsoleStopLimit{2000};

// Call once, before any thread starts. A signal the program was started
// with ignored (nohup, a background job) stays ignored.
void catchStopSignals(std::atomic<bool>& stop);

// For the platform's catcher: keeps the first cause, true when it is it.
bool noteStop(StopCause cause);
// The first stop that came; None before any.
StopCause stopCause();

// For the run, once its last lines are written (or given up on): `status`
// is its exit status. From here on a stop's catcher may end the process.
void runOver(int status);
// For the platform's catcher: the status the run ended with, or nullopt
// when `limit` passes first.
std::optional<int> awaitRunOver(std::chrono::milliseconds limit);

// The exit status after a stop, as shells report a process the signal
// ended (128 + its number): 130 Ctrl-C, 143 SIGTERM, 129 SIGHUP. 130 when
// no signal was noted.
int stopExitStatus();

}  // namespace qelisp::cli
