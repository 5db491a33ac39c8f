#include "link/port_identity.h"

#include "link/net/network_port_identity.h"
#include "link/net/network_port_name.h"

#include <string_view>

namespace qelisp {

// Windows names its ports without regard to case, and "\\.\" only says that
// the name is a device's.
std::string portIdentity(const std::string& name) {
    if (isNetworkPortName(name)) return networkPortIdentity(name);
    constexpr std::string_view kDeviceNamespace = "\\\\.\\";
    std::string identity = name.rfind(kDeviceNamespace, 0) == 0 ? name.substr(kDeviceNamespace.size()) : name;
    for (char& c : identity) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return identity;
}

}  // namespace qelisp
