#pragma once
// qelisp-cli ports: the ports that can be opened now, as a table for people
// or as JSON for scripts.
#include "link/port.h"

#include <string>
#include <vector>

namespace qelisp::cli {

// Name, description, VID:PID and serial, in columns under a heading; a
// port's /dev/serial/by-id name on a line of its own under it. Every text
// from the system is made printable.
std::string formatPortTable(const std::vector<PortInfo>& ports);

// An array of objects: name, description, vid and pid (four hex digits, or
// null), maker, serial, byId. Valid JSON whatever bytes the system gave.
std::string formatPortJson(const std::vector<PortInfo>& ports);

// Lists the ports on standard output; 0.
int runPortsCommand(bool json);

}  // namespace qelisp::cli
