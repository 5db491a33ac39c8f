#pragma once
// What both jobs do first, and how they end.
#include "jobs/job_context.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qelisp {

// How a job ends when the user stopped it between two steps.
inline constexpr const char* kUserCanceled = "User Canceled";

// Records the job's result, shows its last status text, then ends it (beep
// and progress back to 0 unless silent). Returns the worker's result, 0.
int FinishJob(JobContext& job, JobResult result, const std::string& text, EndKind kind = EndKind::Normal);

// FinishJob for a failure at `step`.
int FailJob(JobContext& job, const std::string& message, JobStep step, FailureCause cause,
            EndKind kind = EndKind::Normal);

// FinishJob for a cancel heard at `step`: "User Canceled".
int CancelJob(JobContext& job, JobStep step);

struct JobStart {
    std::size_t startSlot;    // the record for 03000H
    std::uint32_t startTick;  // taken right after the handshake
};

// The handshake, the start time and the start record. On failure the job has
// ended already: with `connectFailure` when the loader did not answer, with
// "User Canceled" when the user stopped it meanwhile, or silently with
// "Data Error!" when the image has no record for 03000H.
std::optional<JobStart> OpenJob(JobContext& job, const char* connectFailure);

}  // namespace qelisp
