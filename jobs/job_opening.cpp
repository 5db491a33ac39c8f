#include "jobs/job_opening.h"

#include "protocol/reply.h"

namespace qelisp {

int FailJob(JobContext& job, const std::string& message, EndKind kind) {
    job.session.state.setStatus(message);
    EndJob(job.session.state, job.beep, kind);
    return 0;
}

std::optional<JobStart> OpenJob(JobContext& job, const char* connectFailure) {
    switch (ConnectDevice(job.session)) {
        case Connected: break;
        case NotConnected: FailJob(job, connectFailure); return std::nullopt;
        case ConnectCancelled: FailJob(job, kUserCanceled); return std::nullopt;
    }
    const std::uint32_t startTick = job.session.clock.tickMs();
    auto slot = job.image.findStartRecord();
    if (!slot) {
        FailJob(job, "Data Error!", EndKind::Silent);
        return std::nullopt;
    }
    return JobStart{*slot, startTick};
}

}  // namespace qelisp
