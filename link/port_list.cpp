#include "link/port.h"

namespace qelisp {

std::vector<std::string> enumeratePorts() {
    std::vector<std::string> names;
    for (const PortInfo& port : listPorts()) {
        if (port.opens()) names.push_back(port.name);
    }
    return names;
}

}  // namespace qelisp
