#pragma once
// How the window finds and opens ports. The real backend by default; tests
// put fakes in.
#include "link/port.h"

#include <functional>
#include <string>
#include <vector>

namespace qelisp {

struct PortAccess {
    std::function<std::vector<std::string>()> enumerate;
    std::function<OpenResult(const std::string& name, OpenMode mode)> open;
};

// enumeratePorts() and openPort() of this platform's link backend.
PortAccess systemPorts();

}  // namespace qelisp
