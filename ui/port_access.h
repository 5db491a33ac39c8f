#pragma once
// How the window finds and opens ports. The real backend by default; tests
// put fakes in.
#include "link/port.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qelisp {

struct PortAccess {
    std::function<std::vector<PortInfo>()> enumerate;
    std::function<OpenResult(const std::string& name, OpenMode mode)> open;
    // The devices present, found without opening any; may be left empty,
    // and may answer nullopt, where nothing is to be watched.
    std::function<std::optional<std::vector<std::string>>()> present = nullptr;
};

// listPorts(), openPort() and presentPortNames() of this platform's link backend.
PortAccess systemPorts();

}  // namespace qelisp
