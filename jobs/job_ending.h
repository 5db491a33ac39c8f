#pragma once
// How every job ends.
#include "state/job_state.h"

#include <functional>

namespace qelisp {

// The sound a job makes when it ends; the default beep on Windows.
using BeepHook = std::function<void()>;

enum class EndKind {
    Normal,  // beep, progress back to 0, busy clear
    Silent,  // only busy clear: the early exits that leave the bar alone
};

// Every job's last step, after its result and its final status text.
void EndJob(JobState& state, const BeepHook& beep, EndKind kind = EndKind::Normal);

}  // namespace qelisp
