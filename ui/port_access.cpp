#include "ui/port_access.h"

namespace qelisp {

PortAccess systemPorts() {
    return PortAccess{
        [] { return enumeratePorts(); },
        [](const std::string& name, OpenMode mode) { return openPort(name, mode); },
    };
}

}  // namespace qelisp
