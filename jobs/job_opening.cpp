#include "jobs/job_opening.h"

#include "jobs/status_text.h"
#include "protocol/reply.h"

namespace qelisp {

int FinishJob(JobContext& job, JobResult result, const std::string& text, EndKind kind) {
    // The result first: whoever watches the status sees it with the last text.
    job.session.state.setResult(result);
    job.session.state.setStatus(text, StatusKind::Result);
    EndJob(job.session.state, job.beep, kind);
    return 0;
}

int FailJob(JobContext& job, const std::string& message, JobStep step, FailureCause cause, EndKind kind) {
    return FinishJob(job, {JobOutcome::Failed, step, cause}, message, kind);
}

int CancelJob(JobContext& job, JobStep step) {
    return FinishJob(job, {JobOutcome::Cancelled, step, FailureCause::None}, kUserCanceled);
}

std::optional<JobStart> OpenJob(JobContext& job, const char* connectFailure) {
    FailureCause cause = FailureCause::None;
    switch (ConnectDevice(job.session, cause)) {
        case ConnectResult::Connected: break;
        case ConnectResult::NotConnected: FailJob(job, connectFailure, JobStep::Handshake, cause); return std::nullopt;
        case ConnectResult::ConnectCancelled: CancelJob(job, JobStep::Handshake); return std::nullopt;
    }
    const std::uint32_t startTick = job.session.clock.tickMs();
    auto slot = job.image.findStartRecord();
    if (!slot) {
        FailJob(job, std::string(kDataError), JobStep::StartRecord, FailureCause::None, EndKind::Silent);
        return std::nullopt;
    }
    return JobStart{*slot, startTick};
}

}  // namespace qelisp
