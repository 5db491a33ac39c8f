#pragma once
// What every protocol step works on: the open port (null when none is open),
// the shared job state, and the clock.
#include "link/serial_link.h"
#include "state/clock.h"
#include "state/job_state.h"

namespace qelisp {

struct Session {
    SerialLink* link;  // null when no port is open: every step then fails
    JobState& state;
    Clock& clock;
};

}  // namespace qelisp
