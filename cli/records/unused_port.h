#pragma once
// A port whose jobs never ran still ends each of them, with a reason from
// the table of the jobs' own failures (openReason in jobs/failure_hint.h),
// so a bench's events and log name every port it was given.
#include "cli/terminal/job_view.h"
#include "link/port.h"

#include <string>

namespace qelisp::cli {

// The end of `job` on a port it never ran on: a failure for `reason`, with
// `status` as the summary says it ("cannot open: no such port").
JobRecord notRunRecord(JobKind job, FailureReason reason, std::string status);

}  // namespace qelisp::cli
