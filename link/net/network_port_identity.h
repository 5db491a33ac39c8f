#pragma once
// Which server port a network port's name stands for, so that one given
// twice ("rfc2217://Bench3:7000" and "rfc2217://bench3:7000") is known.
#include <string>
#include <string_view>

namespace qelisp {

// "net:" + the host in lower case + ":" + the port, whatever the scheme (one
// server port is one port, spoken to either way); a malformed name is its
// own identity. `name` is one isNetworkPortName() accepts.
std::string networkPortIdentity(std::string_view name);

}  // namespace qelisp
