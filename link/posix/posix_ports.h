#pragma once
// Whether each port sysfs knows of can be opened now, and why not. The trying
// is a parameter so that tests can give the answers a system would.
#include "link/port.h"
#include "link/posix/sysfs_ports.h"

#include <functional>
#include <string>
#include <vector>

namespace qelisp {

// Tries `path` as openPort() would, without touching its settings, and
// lets it go: 0 when openPort() would get it, otherwise the errno that says
// why (EBUSY when another program holds its lock).
using OpenAttempt = std::function<int(const std::string& path)>;
int attemptOpen(const std::string& path);

// `ports` (by their names under tree.dev), each marked with what `attempt`
// answered, in openPort()'s words.
std::vector<PortInfo> probePorts(std::vector<PortInfo> ports, const DeviceTree& tree,
                                 const OpenAttempt& attempt = attemptOpen);

}  // namespace qelisp
