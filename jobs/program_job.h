#pragma once
#include "jobs/job_context.h"

namespace qelisp {

// Writes the image into the instrument, page by page. Reports only through
// the job state; returns 0 as the worker thread's result.
int ProgramJob(JobContext& job);

}  // namespace qelisp
