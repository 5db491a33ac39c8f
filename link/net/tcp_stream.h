#pragma once
// A TCP connection as the network link needs it: every call bounded by a
// deadline, none ever blocking past it. Implemented with POSIX sockets in
// link/posix/tcp_stream.cpp and with Winsock in link/win32/tcp_stream.cpp.
#include "link/port.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qelisp {

using SteadyTime = std::chrono::steady_clock::time_point;

class TcpStream {
public:
    virtual ~TcpStream() = default;

    // Sends all of `bytes` unless the deadline comes first. Returns how many
    // went, or -1 when the connection failed.
    virtual int send(std::span<const std::uint8_t> bytes, SteadyTime deadline) = 0;

    // Waits until something arrives or the deadline passes. Returns the count
    // (0: nothing came in time), or -1 when the connection was closed or
    // reset (after whatever came before the close was returned).
    virtual int receive(std::span<std::uint8_t> buf, SteadyTime deadline) = 0;

    // What the system holds now, without waiting: the count (0: nothing), or
    // -1 when the connection was closed or reset.
    virtual int receiveNow(std::span<std::uint8_t> buf) = 0;
};

// How long a server may take to accept the connection.
inline constexpr std::chrono::seconds kConnectTimeOut{5};

struct TcpConnectResult {
    std::unique_ptr<TcpStream> stream;  // null unless error == None
    OpenError error = OpenError::None;
    std::string text;  // what went wrong, for after the port's name
};

// Connects to `host` (a name, an IPv4 or an IPv6 address) at `port`, trying
// each address the name has, all within kConnectTimeOut: HostNotFound,
// Refused, NoServer (nothing answered in time) or Other.
TcpConnectResult connectTcp(const std::string& host, std::uint16_t port);

}  // namespace qelisp
