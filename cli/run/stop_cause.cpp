#include "cli/run/stop_signals.h"

#include "cli/records/job_summary.h"
#include "cli/run/run_end.h"

namespace qelisp::cli {

namespace {

std::atomic<StopCause> gCause{StopCause::None};
RunEnd gRunEnd;

}  // namespace

bool noteStop(StopCause cause) {
    StopCause none = StopCause::None;
    return gCause.compare_exchange_strong(none, cause);
}

StopCause stopCause() { return gCause.load(); }

void runOver(int status) { gRunEnd.over(status); }

std::optional<int> awaitRunOver(std::chrono::milliseconds limit) { return gRunEnd.await(limit); }

int stopExitStatus() {
    switch (stopCause()) {
        case StopCause::Terminate: return 128 + 15;  // SIGTERM
        case StopCause::HangUp: return 128 + 1;      // SIGHUP
        case StopCause::None:
        case StopCause::Interrupt: break;
    }
    return kExitInterrupted;  // 128 + SIGINT
}

}  // namespace qelisp::cli
