#include "link/port.h"

#include "link/printable_name.h"

#include <algorithm>

namespace qelisp {

std::vector<std::string> enumeratePorts() {
    std::vector<std::string> names;
    for (const PortInfo& port : listPorts()) {
        if (port.opens()) names.push_back(port.name);
    }
    return names;
}

std::string unopenedPorts(const std::vector<PortInfo>& ports) {
    // Ten adapters refused for one missing group need the fix said once.
    struct Group {
        std::string reason;
        std::string names;
    };
    std::vector<Group> groups;
    for (const PortInfo& port : ports) {
        if (port.opens()) continue;
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.reason == port.reason; });
        if (group == groups.end()) group = groups.insert(groups.end(), Group{port.reason, {}});
        group->names += (group->names.empty() ? "" : ", ") + printableName(port.name);
    }
    std::string text;
    for (const Group& group : groups) text += (text.empty() ? "" : "; ") + group.names + ": " + group.reason;
    return text;
}

}  // namespace qelisp
