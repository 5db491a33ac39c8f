// Which serial ports a technician could use right now: what sysfs knows of
// (link/posix/sysfs_ports.h), less those another program holds.
#include "link/port.h"
#include "link/posix/posix_serial_link.h"
#include "link/posix/sysfs_ports.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qelisp {

namespace {

// Opened and let go again without touching its settings: listing must not
// change the speed of a port that some other program uses without a lock.
// A port another program holds fails the open (TIOCEXCL) or the lock.
bool canOpenNow(const std::string& name) {
    int fd = ::open(devicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool usable = isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return usable;
}

}  // namespace

std::vector<PortInfo> listPorts() {
    std::vector<PortInfo> ports;
    for (PortInfo& port : readSysfsPorts()) {
        if (canOpenNow(port.name)) ports.push_back(std::move(port));
    }
    return ports;
}

std::optional<std::vector<std::string>> presentPortNames() { return sysfsPortNames(); }

}  // namespace qelisp
