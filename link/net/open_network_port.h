#pragma once
// Opening a port across the network, on every system: the name parsed, the
// server connected, and on an rfc2217:// port the line negotiated.
#include "link/port.h"

#include <string>

namespace qelisp {

// `name` is one isNetworkPortName() accepts. LineTiming::Pty watches no
// line's time; Auto and Wire both do, the server's port being a wire.
OpenResult openNetworkPort(const std::string& name, LineTiming timing);

}  // namespace qelisp
