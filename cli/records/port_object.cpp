#include "cli/records/port_object.h"

#include <nlohmann/json.hpp>

namespace qelisp::cli {

LoggedPort loggedPort(const std::string& name, const std::vector<PortInfo>& known) {
    LoggedPort entry{name, {}, {}};
    for (const PortInfo& info : known) {
        if (info.name == name || info.name == name.substr(name.find_last_of('/') + 1)) {
            entry.description = info.description;
            entry.serial = info.serial;
        }
    }
    return entry;
}

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json portJson(const LoggedPort& port) {
    return {{"name", port.name}, {"description", textOrNull(port.description)}, {"serial", textOrNull(port.serial)}};
}

}  // namespace qelisp::cli
