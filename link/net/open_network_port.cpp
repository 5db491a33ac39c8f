#include "link/net/open_network_port.h"

#include "link/net/network_link.h"
#include "link/net/network_port_name.h"

namespace qelisp {

OpenResult openNetworkPort(const std::string& name, LineTiming timing) {
    std::string malformed;
    const std::optional<NetworkPortName> parsed = parseNetworkPortName(name, malformed);
    if (!parsed) return openFailed(OpenError::HostNotFound, name, malformed);
    TcpConnectResult connected = connectTcp(parsed->host, parsed->port);
    if (!connected.stream) return openFailed(connected.error, name, connected.text);

    const bool telnet = parsed->kind == NetworkPortName::Kind::Rfc2217;
    auto link = std::make_unique<NetworkLink>(std::move(connected.stream), telnet, timing != LineTiming::Pty);
    const NetworkLink::Opening opening = telnet ? link->negotiate() : link->awaitEarlyClose();
    if (opening.error != OpenError::None) return openFailed(opening.error, name, opening.text);
    OpenResult result;
    result.link = std::move(link);
    return result;
}

}  // namespace qelisp
