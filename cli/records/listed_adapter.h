#pragma once
// Which USB adapter, as the system lists it, a port given by name is: the
// note after a run blames an adapter only where there is one.
#include "link/port.h"

#include <string>
#include <vector>

namespace qelisp::cli {

// The entry of `listed` (the system's port list) that `name` stands for when
// it has USB IDs; null for a port not listed (a pseudo-terminal) or listed
// without them (a built-in UART). Names are compared as the ports they
// resolve to, so "/dev/ttyUSB0", a /dev/serial/by-id link or any other link
// finds "ttyUSB0", and "\\.\com7" finds "COM7".
const PortInfo* listedAdapter(const std::string& name, const std::vector<PortInfo>& listed);

}  // namespace qelisp::cli
