#pragma once
// The hint as a window shows it under the status: the reasons of
// jobs/failure_hint.h, said in sentences for someone at the window, who
// picks ports in the port box and types no commands.
#include "jobs/failure_hint.h"

#include <string>
#include <string_view>
#include <vector>

namespace qelisp {

// What to check or do next; empty for None. `group` is the group that may
// open the port, for NoPermission ("dialout" when the system did not say).
std::string windowHint(FailureReason reason, PortPlace place = PortPlace::Local, std::string_view group = {});

// Every hint windowHint() gives, local and across the network: what the
// window's hint area must hold.
std::vector<std::string> everyWindowHint();

}  // namespace qelisp
