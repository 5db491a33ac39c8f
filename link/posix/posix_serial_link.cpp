#include "link/posix/posix_serial_link.h"

#include "link/local_port.h"
#include "link/port.h"
#include "link/posix/port_holder.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace qelisp {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::chrono::nanoseconds kByteTime{kByteTimeNs};
// Unix 98 pseudo-terminal slaves.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

int msUntil(SteadyClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    // poll's granularity is a millisecond; round up so we never return early.
    return left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
}

OpenResult fail(OpenError error, const std::string& name, const std::string& detail = {}) {
    std::string text = describe(error);
    if (!detail.empty()) text += " (" + detail + ")";
    return openFailed(error, name, text);
}

// Held by another program: which one, where /proc shows it.
OpenResult busy(const std::string& name, const std::string& path) {
    const std::string holder = portHolder(path);
    return holder.empty() ? fail(OpenError::Busy, name)
                          : openFailed(OpenError::Busy, name, "port is in use by " + holder);
}

// The group to join: the device's own, where it is not root's.
OpenResult denied(const std::string& name, const std::string& path) {
    const std::string group = portGroup(path);
    OpenResult result =
        fail(OpenError::PermissionDenied, name,
             group.empty() ? "the user may need to be in the 'dialout' group: sudo usermod -aG dialout $USER, then "
                             "log in again"
                           : "join the group " + group + ": sudo usermod -aG " + group + " $USER, then log in again");
    result.group = group;
    return result;
}

// For something that exists but is no terminal.
OpenResult notSerial(const std::string& name, mode_t mode) {
    const char* what = "not a serial port";
    if (S_ISDIR(mode)) what = "is a directory, not a serial port";
    if (S_ISREG(mode)) what = "is a regular file, not a serial port";
    if (S_ISSOCK(mode)) what = "is a socket, not a serial port";
    if (S_ISFIFO(mode)) what = "is a named pipe, not a serial port";
    if (S_ISBLK(mode)) what = "is a block device (a disk), not a serial port";
    if (S_ISCHR(mode)) what = "is a device but not a terminal, so not a serial port";
    return openFailed(OpenError::NotSerial, name, what);
}

// Raw binary 8N1 at 115200 on top of what the driver reports; hardware flow
// control is left as it was. Software flow control goes, whatever an earlier
// program left: the line carries the loader's conversation only, and an XOFF
// from the instrument is a stray byte that fails the step, not a pause the
// driver keeps to itself.
bool applyLineSettings(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    // Reads are bounded by poll against a deadline, not by VTIME. VMIN 1
    // makes an empty non-blocking read say EAGAIN, so a 0 can only mean
    // the other end hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B115200) != 0 || cfsetospeed(&tio, B115200) != 0) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Every acknowledgement is one byte, and a USB adapter holds what it
// received for its latency timer (16 ms on common chips) unless asked not
// to: a minute over a whole update. Drivers that have no such mode, and
// ptys, refuse; that is fine.
void askForLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &serial);
}

// A real port's exclusive flag goes with its last close, a pseudo-terminal's
// stays while its master is open: left set, it would keep out the next
// program a user other than root starts on it.
void releaseExclusive(int fd) { (void)ioctl(fd, TIOCNXCL); }

}  // namespace

OpenResult openFailure(const std::string& name, const std::string& path, int err) {
    switch (err) {
        case ENAMETOOLONG: return fail(OpenError::NotFound, name, "name too long");
        case ELOOP: return fail(OpenError::NotFound, name, "too many levels of symbolic links");
        case ENOTDIR: return fail(OpenError::NotFound, name, "a part of the path is not a directory");
        case ENOENT: {
            struct stat entry {};
            bool dangling = ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
            return fail(OpenError::NotFound, name, dangling ? "a symbolic link to nothing" : "");
        }
        default: break;
    }
    // Something is there, and if it is no device, what it is says more than
    // the open did: a directory fails with EISDIR, a socket with ENXIO
    // ("no such device"), a file one may not write with EACCES.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISCHR(st.st_mode)) return notSerial(name, st.st_mode);
    switch (err) {
        case EACCES:
        case EPERM: return denied(name, path);
        case EBUSY: return busy(name, path);
        case ENXIO:
        case ENODEV: return fail(OpenError::NotFound, name, "no device behind this name");
        default: return fail(OpenError::Other, name, std::strerror(err));
    }
}

std::string devicePath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

PosixSerialLink::~PosixSerialLink() {
    if (fd_ >= 0) {
        releaseExclusive(fd_);
        flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

int PosixSerialLink::purge() { return tcflush(fd_, TCIOFLUSH) == 0 ? 0 : 1; }

int PosixSerialLink::readWaiting(std::span<std::uint8_t> buf) {
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) return -1;
    if (waiting <= 0 || buf.empty()) return 0;
    const std::size_t want = std::min(buf.size(), static_cast<std::size_t>(waiting));
    const ssize_t n = ::read(fd_, buf.data(), want);
    if (n > 0) return static_cast<int>(n);
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

int PosixSerialLink::awaitSent(std::span<std::uint8_t> buf) {
    if (!wire_ || written_ == 0) return 0;
    // The line cannot have crossed the wire before its last bit did; an
    // adapter that starts it later only moves the true end further out.
    // Watching up to here, and no further, never mistakes the answer for a
    // stray byte.
    const auto deadline = writeStart_ + kByteTime * static_cast<long>(written_);
    written_ = 0;
    for (;;) {
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) return 0;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        pollfd pfd{fd_, POLLIN, 0};
        const int r = ::ppoll(&pfd, 1, &timeout, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) return 0;
        // Woken after the line could have arrived: what came may be the
        // answer. The reply reader takes it from here.
        if (SteadyClock::now() > deadline) return 0;
        if (!(pfd.revents & POLLIN)) return -1;  // hung up
        return readWaiting(buf);
    }
}

int PosixSerialLink::write(std::span<const std::uint8_t> bytes) {
    // 10 ms per byte plus 10 ms, as the loader's side of the line assumes.
    auto budget = std::chrono::milliseconds(10 * bytes.size() + 10);
    writeStart_ = SteadyClock::now();
    written_ = 0;
    auto deadline = writeStart_ + budget;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            written_ = done;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return done > 0 ? static_cast<int>(done) : -1;
        int wait = msUntil(deadline);
        if (wait == 0) break;
        pollfd pfd{fd_, POLLOUT, 0};
        int r = ::poll(&pfd, 1, wait);
        if (r < 0 && errno != EINTR) return -1;
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return done > 0 ? static_cast<int>(done) : -1;
    }
    return static_cast<int>(done);
}

int PosixSerialLink::read(std::span<std::uint8_t> buf) {
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(kReadBudgetMs);
    std::size_t got = 0;
    bool arrived = false;
    while (got < buf.size()) {
        ssize_t n = ::read(fd_, buf.data() + got, buf.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            arrived = true;
            continue;
        }
        if (n < 0 && errno == EAGAIN && arrived) {
            // The rest of a block is on its way: let it gather for the time it
            // needs on the wire instead of waking for every byte.
            arrived = false;
            auto rest = kByteTime * static_cast<long>(buf.size() - got);
            auto left = deadline - SteadyClock::now();
            std::this_thread::sleep_for(std::min<SteadyClock::duration>(rest, left));
            continue;
        }
        // 0 from a tty in non-blocking raw mode means the other end hung up;
        // EIO is what a vanished USB adapter or a closed pty gives.
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) return got > 0 ? static_cast<int>(got) : -1;
        int wait = msUntil(deadline);
        if (wait == 0) break;
        pollfd pfd{fd_, POLLIN, 0};
        int r = ::poll(&pfd, 1, wait);
        if (r < 0 && errno != EINTR) return got > 0 ? static_cast<int>(got) : -1;
        if (r > 0 && !(pfd.revents & POLLIN) && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            return got > 0 ? static_cast<int>(got) : -1;
        }
        if (r == 0) break;
    }
    return static_cast<int>(got);
}

OpenResult openLocalPort(const std::string& name, OpenMode /*mode*/, LineTiming timing) {
    // The driver's queue sizes are fixed on POSIX; both modes open alike.
    std::string path = devicePath(name);
    // The system would read the name only up to the NUL and open another file.
    if (path.find('\0') != std::string::npos) return fail(OpenError::NotFound, name, "the name holds a NUL byte");
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return openFailure(name, path, errno);

    auto closeAndFail = [&](OpenError error, const std::string& detail = {}) {
        ::close(fd);
        // Our own descriptor closed first: the holder looked for is another.
        return error == OpenError::Busy ? busy(name, path) : fail(error, name, detail);
    };
    if (!isatty(fd)) {
        struct stat st {};
        bool known = fstat(fd, &st) == 0;
        ::close(fd);
        return known ? notSerial(name, st.st_mode) : fail(OpenError::NotSerial, name);
    }
    // TIOCEXCL keeps other programs out, but root passes it; the advisory
    // lock is what other serial tools check too.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? closeAndFail(OpenError::Busy)
                                    : closeAndFail(OpenError::Other, std::strerror(errno));
    }
    if (ioctl(fd, TIOCEXCL) != 0) return closeAndFail(OpenError::Other, std::strerror(errno));
    if (!applyLineSettings(fd)) {
        const int error = errno;
        releaseExclusive(fd);
        return closeAndFail(OpenError::Other, std::strerror(error));
    }
    askForLowLatency(fd);

    // A pseudo-terminal (the simulator, or a bridge such as socat) delivers a
    // line the moment it is written; there is no wire to wait on, unless the
    // other end keeps wire time and the user says so.
    struct stat device {};
    const bool pty =
        fstat(fd, &device) == 0 && major(device.st_rdev) >= kFirstPtyMajor && major(device.st_rdev) <= kLastPtyMajor;
    const bool wire = timing == LineTiming::Wire || (timing == LineTiming::Auto && !pty);

    OpenResult result;
    result.link = std::make_unique<PosixSerialLink>(fd, wire);
    return result;
}

}  // namespace qelisp
