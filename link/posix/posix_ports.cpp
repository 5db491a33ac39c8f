// Which serial ports a technician could use right now: what sysfs knows of
// (link/posix/sysfs_ports.h), each tried, and why those that fail do.
#include "link/posix/posix_ports.h"

#include "link/posix/posix_serial_link.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace qelisp {

int attemptOpen(const std::string& path) {
    // Listing must not change the speed of a port that some other program
    // uses without a lock. A port another program holds fails the open
    // (TIOCEXCL) or the lock.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = 0;
    if (!isatty(fd)) {
        err = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = errno == EWOULDBLOCK ? EBUSY : errno;
    }
    ::close(fd);
    return err;
}

std::vector<PortInfo> probePorts(std::vector<PortInfo> ports, const DeviceTree& tree, const OpenAttempt& attempt) {
    for (PortInfo& port : ports) {
        const std::string path = (tree.dev / port.name).string();
        const int err = attempt(path);
        noteOpenResult(port, err == 0 ? OpenResult{} : openFailure(port.name, path, err));
    }
    return ports;
}

std::vector<PortInfo> listPorts() { return probePorts(readSysfsPorts(), DeviceTree{}); }

std::optional<std::vector<std::string>> presentPortNames() { return sysfsPortNames(); }

}  // namespace qelisp
