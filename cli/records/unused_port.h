#pragma once
// A port whose jobs never ran still ends each of them, with a reason from
// the table of the jobs' own failures (jobs/failure_hint.h), so a bench's
// events and log name every port it was given.
#include "cli/terminal/job_view.h"
#include "link/port.h"

#include <string>

namespace qelisp::cli {

// Why a port could not be used, from what opening it answered. `waited`:
// --wait gave the port its time, and it never appeared.
FailureReason openReason(OpenError error, bool waited);

// The end of `job` on a port it never ran on: a failure for `reason`, with
// `status` as the summary says it ("cannot open: no such port").
JobRecord notRunRecord(JobKind job, FailureReason reason, std::string status);

}  // namespace qelisp::cli
