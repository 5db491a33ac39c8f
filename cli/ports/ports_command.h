#pragma once
// qelisp-cli ports: every serial port found, whether it can be opened now
// and why not, as a table for people or as JSON for scripts.
#include "link/port.h"

#include <string>
#include <vector>

namespace qelisp::cli {

// Name, description, VID:PID, serial, and "yes" or "no: " and the reason it
// cannot be opened now, in columns under a heading; a port's
// /dev/serial/by-id name on a line of its own under it. Every text from the
// system is made printable.
// `utf8`: the terminal shows UTF-8, so descriptions in other languages stay as
// they are; otherwise every byte beyond ASCII is escaped.
std::string formatPortTable(const std::vector<PortInfo>& ports, bool utf8 = false);

// An array of objects: name, description, vid and pid (four hex digits, or
// null), maker, serial, byId, opens (true or false), problem (null when it
// opens, else "permission", "busy" or "other") and reason (null, or the
// words the table shows after "no: "). Valid JSON whatever bytes the system
// gave.
std::string formatPortJson(const std::vector<PortInfo>& ports);

// Lists the ports on standard output; 0, also when none can be opened (the
// listing itself worked) or none is there.
int runPortsCommand(bool json);

}  // namespace qelisp::cli
