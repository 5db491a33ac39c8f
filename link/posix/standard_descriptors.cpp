#include "link/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace qelisp {

bool ensureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one: the ones
        // below it are open by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened < 0) return false;
        if (opened != fd) {
            const bool moved = dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved) return false;
        }
    }
    return true;
}

}  // namespace qelisp
