#include "cli/unused_port.h"

namespace qelisp::cli {

FailureReason openReason(OpenError error, bool waited) {
    switch (error) {
        case OpenError::Busy: return FailureReason::InUse;
        case OpenError::PermissionDenied: return FailureReason::NoPermission;
        // A name that is something else than a serial port is no such port.
        case OpenError::NotFound:
        case OpenError::NotSerial: return waited ? FailureReason::NeverAppeared : FailureReason::NotFound;
        case OpenError::None:
        case OpenError::Other: break;
    }
    // A port there that would not take its settings: none is open for the job.
    return FailureReason::NoPort;
}

JobRecord notRunRecord(JobKind job, FailureReason reason, std::string status) {
    JobRecord record;
    record.job = job;
    record.result = {JobOutcome::Failed, JobStep::None, FailureCause::None};
    record.status = std::move(status);
    record.notRun = reason;
    return record;
}

}  // namespace qelisp::cli
