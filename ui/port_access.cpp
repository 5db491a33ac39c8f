#include "ui/port_access.h"

namespace qelisp {

PortAccess systemPorts() {
    return PortAccess{
        [] { return listPorts(); },
        [](const std::string& name, OpenMode mode) { return openPort(name, mode); },
        [] { return presentPortNames(); },
    };
}

}  // namespace qelisp
