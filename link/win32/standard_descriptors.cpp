#include "link/standard_descriptors.h"

#include <fcntl.h>
#include <io.h>

namespace qelisp {

// The serial port is a handle of its own on Windows and never one of these
// numbers; but a file the program opens later (a log) could be, and then
// the console's output would land in it.
bool ensureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1) continue;
        const int opened = _open("NUL", _O_RDWR | _O_BINARY);
        if (opened < 0) return false;
        if (opened != fd) {
            const bool moved = _dup2(opened, fd) == 0;
            _close(opened);
            if (!moved) return false;
        }
    }
    return true;
}

}  // namespace qelisp
