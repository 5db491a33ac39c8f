#include "link/net/connect_failure.h"

#include "link/printable_name.h"

namespace qelisp {

std::string hostAndPort(const std::string& host, std::uint16_t port) {
    const std::string shown = printableName(host);
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + shown + "]" : shown) + ":" + std::to_string(port);
}

TcpConnectResult connectFailed(OpenError error, const std::string& host, std::uint16_t port,
                               const std::string& detail) {
    TcpConnectResult result;
    result.error = error;
    const std::string where = hostAndPort(host, port);
    const std::string because = detail.empty() ? "" : " (" + detail + ")";
    switch (error) {
        case OpenError::HostNotFound:
            result.text = "server not found: no address for " + printableName(host) + because;
            break;
        case OpenError::Refused:
            result.text = "connection refused: is the server running and is " + std::to_string(port) + " its port?";
            break;
        case OpenError::NoServer:
            result.text = detail.empty()
                              ? "no answer from " + where + " within " + std::to_string(kConnectTimeOut.count()) + " s"
                              : "no answer from " + where + because;
            break;
        default: result.text = "cannot connect to " + where + because; break;
    }
    return result;
}

}  // namespace qelisp
