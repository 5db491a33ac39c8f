#include "sim/pty_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qelisp::sim {
namespace {

std::string failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyPort::~PtyPort() { close(); }

bool PtyPort::open(std::string& error) {
    close();
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0) {
        error = failure("posix_openpt");
        return false;
    }
    // Non-blocking: the serving loop polls, and a client that stops reading
    // must not stall it. Close-on-exec: children must not hold the line.
    if (::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK) != 0 || ::fcntl(fd_, F_SETFD, FD_CLOEXEC) != 0) {
        error = failure("fcntl on the pty");
        close();
        return false;
    }
    if (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) {
        error = failure("grantpt/unlockpt");
        close();
        return false;
    }
    char name[128];
    if (::ptsname_r(fd_, name, sizeof name) != 0) {
        error = failure("ptsname_r");
        close();
        return false;
    }
    slavePath_ = name;

    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = failure(("open " + slavePath_).c_str());
        close();
        return false;
    }
    termios tio{};
    bool ok = ::tcgetattr(slave, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        ok = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    if (!ok) error = failure("setting the pty raw");
    ::close(slave);
    if (!ok) close();
    return ok;
}

void PtyPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace qelisp::sim
