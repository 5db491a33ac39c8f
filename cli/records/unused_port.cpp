#include "cli/records/unused_port.h"

namespace qelisp::cli {

JobRecord notRunRecord(JobKind job, FailureReason reason, std::string status) {
    JobRecord record;
    record.job = job;
    record.result = {JobOutcome::Failed, JobStep::None, FailureCause::None};
    record.status = std::move(status);
    record.notRun = reason;
    return record;
}

}  // namespace qelisp::cli
