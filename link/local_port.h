#pragma once
// The platform's own serial ports: openPort() hands every name that is not a
// network port's to this (link/posix/posix_serial_link.cpp,
// link/win32/win32_serial_link.cpp).
#include "link/port.h"

#include <string>

namespace qelisp {

OpenResult openLocalPort(const std::string& name, OpenMode mode, LineTiming timing);

}  // namespace qelisp
