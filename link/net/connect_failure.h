#pragma once
// Why a connection to a serial port server failed, in the same words on
// every system: the sockets differ, the advice does not.
#include "link/net/tcp_stream.h"

#include <cstdint>
#include <string>

namespace qelisp {

// "bench3:7000", "[::1]:7000": how the server's address reads in a message.
std::string hostAndPort(const std::string& host, std::uint16_t port);

// A failed connect: `error` is HostNotFound, Refused, NoServer or Other;
// `detail` is the system's own words, if it had any (for NoServer none
// means the time-out ran out).
TcpConnectResult connectFailed(OpenError error, const std::string& host, std::uint16_t port,
                               const std::string& detail = {});

}  // namespace qelisp
