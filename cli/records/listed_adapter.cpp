#include "cli/records/listed_adapter.h"

#include "link/port_identity.h"

namespace qelisp::cli {

const PortInfo* listedAdapter(const std::string& name, const std::vector<PortInfo>& listed) {
    const std::string identity = portIdentity(name);
    for (const PortInfo& port : listed) {
        if ((port.vid != 0 || port.pid != 0) && portIdentity(port.name) == identity) return &port;
    }
    return nullptr;
}

}  // namespace qelisp::cli
