#include "cli/run/stop_signals.h"

#include "link/win32/windows_api.h"

#include <cstdlib>

namespace qelisp::cli {

namespace {

std::atomic<bool>* gStop = nullptr;

// The system calls this on a thread of its own for each console event, and
// ends the process when it returns from a closed window, a log-off or a
// shutdown (after some seconds in any case). So it never returns: it waits
// for the run to cancel its jobs and write its last lines, and ends the
// process with the run's status then; at kConsoleStopLimit without them.
// Ctrl-Break is the other interrupt key, and counts as Ctrl-C; a closed
// console is a closed terminal; a log-off or shutdown asks every program to
// end, as SIGTERM does.
BOOL WINAPI onConsoleEvent(DWORD event) {
    StopCause cause = StopCause::None;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: cause = StopCause::Interrupt; break;
        case CTRL_CLOSE_EVENT: cause = StopCause::HangUp; break;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: cause = StopCause::Terminate; break;
        default: return FALSE;
    }
    noteStop(cause);
    gStop->store(true);
    std::_Exit(awaitRunOver(kConsoleStopLimit).value_or(stopExitStatus()));
}

}  // namespace

// Windows has no SIGPIPE: a failed write is an error return there.
void catchStopSignals(std::atomic<bool>& stop) {
    gStop = &stop;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace qelisp::cli
