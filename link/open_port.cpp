// openPort() on every system: a network port's name (rfc2217://, tcp://) is
// never a local device, whatever follows its scheme.
#include "link/local_port.h"
#include "link/net/network_port_name.h"
#include "link/net/open_network_port.h"

namespace qelisp {

OpenResult openPort(const std::string& name, OpenMode mode, LineTiming timing) {
    if (isNetworkPortName(name)) return openNetworkPort(name, timing);
    return openLocalPort(name, mode, timing);
}

}  // namespace qelisp
