#pragma once
// Ports across a network: "rfc2217://HOST:PORT" (a serial port server that
// speaks Telnet with the Com Port Control option) and "tcp://HOST:PORT" (raw
// bytes; the server's own line settings are the line's). HOST is a name, an
// IPv4 address or an IPv6 address in brackets ("[::1]").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qelisp {

struct NetworkPortName {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    std::string host;        // without brackets: "::1", "bench3.lab", "10.0.0.7"
    std::uint16_t port = 0;  // 1 to 65535
};

// Whether the name asks for a network port (the scheme, in any case), well
// formed or not: such a name never means a local device.
bool isNetworkPortName(std::string_view name);

// The parts of a network port's name; nullopt with `error` set (what is wrong
// with it, in words for the user) when it is malformed.
std::optional<NetworkPortName> parseNetworkPortName(std::string_view name, std::string& error);

}  // namespace qelisp
