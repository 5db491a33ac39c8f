#pragma once
#include "jobs/job_context.h"

namespace qelisp {

// Empty reads the verify job waits for the 'A' that opens a read-back block
// before it gives up on the loader.
inline constexpr int kReadBackStartEmptyReads = 10;
// Bytes other than 'A' it skips before giving up: a loader that babbles
// forever must not hold the job forever either.
inline constexpr int kReadBackStartNoiseLimit = 4096;
// Failed comparisons of one block that end the job.
inline constexpr int kMismatchLimit = 3;

// Reads the instrument's flash back block by block and compares it with the
// image. Reports only through the job state; returns 0.
int VerifyJob(JobContext& job);

}  // namespace qelisp
