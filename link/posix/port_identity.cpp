#include "link/port_identity.h"

#include "link/net/network_port_identity.h"
#include "link/net/network_port_name.h"
#include "link/posix/posix_serial_link.h"

#include <sys/stat.h>
#include <filesystem>

namespace qelisp {

// A device is its device number, whatever links lead to it; anything else
// (nothing there yet, a file) its path with the links and dots resolved.
std::string portIdentity(const std::string& name) {
    if (isNetworkPortName(name)) return networkPortIdentity(name);
    const std::string path = devicePath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
        return "device " + std::to_string(static_cast<unsigned long long>(st.st_rdev));
    }
    std::error_code ignored;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ignored);
    return "path " + (resolved.empty() ? path : resolved.string());
}

}  // namespace qelisp
