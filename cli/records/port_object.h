#pragma once
// A port as the JSON events and the result log name it, in one shape for
// both: {"name", "description", "serial"}, null for what is not known.
#include "link/port.h"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace qelisp::cli {

// The name the user gave, and the adapter's description and serial number
// where the system knows them (empty when it does not).
struct LoggedPort {
    std::string name;
    std::string description;
    std::string serial;
};

// The port named `name` with what `known` (the system's port list) says of
// its adapter: listed under that name, or under its last part
// ("/dev/ttyUSB0" is listed as "ttyUSB0").
LoggedPort loggedPort(const std::string& name, const std::vector<PortInfo>& known);

// The port object; what the system did not tell is null, never "".
nlohmann::ordered_json portJson(const LoggedPort& port);

// A text, or null when there is none.
nlohmann::ordered_json textOrNull(const std::string& text);

}  // namespace qelisp::cli
