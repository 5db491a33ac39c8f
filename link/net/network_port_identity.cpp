#include "link/net/network_port_identity.h"

#include "link/net/network_port_name.h"

namespace qelisp {

std::string networkPortIdentity(std::string_view name) {
    std::string error;
    const auto parsed = parseNetworkPortName(name, error);
    if (!parsed) return "net:" + std::string(name);
    std::string host = parsed->host;
    for (char& c : host) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return "net:" + host + ":" + std::to_string(parsed->port);
}

}  // namespace qelisp
