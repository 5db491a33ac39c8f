#include "cli/records/unused_port.h"

namespace qelisp::cli {

FailureReason openReason(OpenError error, bool waited) {
    switch (error) {
        case OpenError::Busy: return FailureReason::InUse;
        case OpenError::PermissionDenied: return FailureReason::NoPermission;
        // A name that is something else than a serial port is no such port.
        case OpenError::NotFound:
        case OpenError::NotSerial: return waited ? FailureReason::NeverAppeared : FailureReason::NotFound;
        // A server that could not be reached or would not serve keeps its
        // own reason, also after waiting: it says what to fix.
        case OpenError::HostNotFound: return FailureReason::ServerNotFound;
        case OpenError::Refused: return FailureReason::ConnectionRefused;
        case OpenError::NoServer: return FailureReason::NoServer;
        case OpenError::NotRfc2217: return FailureReason::NotRfc2217;
        case OpenError::LineSettings: return FailureReason::LineSettingsRefused;
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
