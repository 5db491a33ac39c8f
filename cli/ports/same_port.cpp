#include "cli/ports/same_port.h"

#include "link/port_identity.h"
#include "link/printable_name.h"

namespace qelisp::cli {

std::string samePortTwice(const std::vector<std::string>& ports) {
    std::vector<std::string> identities;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        identities.push_back(portIdentity(ports[i]));
        for (std::size_t k = 0; k < i; ++k) {
            if (identities[k] != identities[i]) continue;
            const std::string first = printableName(ports[k]);
            const std::string second = printableName(ports[i]);
            return ports[k] == ports[i] ? "--port " + first + " is given twice"
                                        : "--port " + first + " and --port " + second + " are the same port";
        }
    }
    return {};
}

}  // namespace qelisp::cli
