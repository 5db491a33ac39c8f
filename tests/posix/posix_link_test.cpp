// The POSIX serial backend against a real pseudo-terminal: the far end is the
// pty master, standing in for the instrument.
#include "link/port.h"
#include "link/posix/port_holder.h"
#include "link/posix/posix_serial_link.h"
#include "tests/support/open_failure.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace qelisp {
namespace {

using Ms = std::chrono::milliseconds;

class Pty {
public:
    Pty() {
        std::array<char, 128> name{};
        int slave = -1;
        if (openpty(&master, &slave, name.data(), nullptr, nullptr) != 0) return;
        ::close(slave);  // the link under test opens its own
        path = name.data();
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    void send(std::string_view bytes) {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string receive() {
        std::array<char, 512> buf{};
        std::string got;
        fcntl(master, F_SETFL, O_NONBLOCK);
        usleep(20000);
        ssize_t n;
        while ((n = ::read(master, buf.data(), buf.size())) > 0) got.append(buf.data(), static_cast<std::size_t>(n));
        return got;
    }
    int master = -1;
    std::string path;
};

template <typename F>
Ms timed(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
}

TEST(PosixLink, OneReadBudgetWhateverTheLength) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    auto opened = openPort(pty.path);
    ASSERT_TRUE(opened.link) << opened.message;

    std::array<std::uint8_t, 256> buf{};
    int n = -2;
    Ms took = timed([&] { n = opened.link->read(std::span(buf).first(1)); });
    EXPECT_EQ(n, 0);
    EXPECT_GE(took, Ms(195));
    EXPECT_LT(took, Ms(600));

    pty.send(std::string(100, '7'));
    took = timed([&] { n = opened.link->read(buf); });
    EXPECT_EQ(n, 100) << "a short block comes back with what arrived";
    EXPECT_GE(took, Ms(195));
    EXPECT_LT(took, Ms(600));

    pty.send("U");
    took = timed([&] { n = opened.link->read(std::span(buf).first(1)); });
    EXPECT_EQ(n, 1);
    EXPECT_EQ(buf[0], 'U');
    EXPECT_LT(took, Ms(100)) << "a byte that is there is returned at once";
}

// Before a line, whatever waits is read at once; while a line can still be
// on its way over a wire, a byte that comes is a stray one; after that, or on
// a pseudo-terminal, which has no wire, it is left for the reply reader.
TEST(PosixLink, StrayBytesAreTakenOnlyWhereNoAnswerCanBe) {
    Pty pty;
    auto opened = openPort(pty.path);
    ASSERT_TRUE(opened.link) << opened.message;
    std::array<std::uint8_t, 16> buf{};
    EXPECT_EQ(opened.link->readWaiting(buf), 0);
    pty.send("ab");
    usleep(20000);
    EXPECT_EQ(opened.link->readWaiting(buf), 2);
    EXPECT_EQ(std::string(buf.begin(), buf.begin() + 2), "ab");

    const std::string longLine(1000, '0');  // 87 ms at 115200 baud
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(longLine.data()), longLine.size());
    ASSERT_EQ(opened.link->write(bytes), 1000);
    pty.send(".");
    usleep(20000);
    EXPECT_EQ(opened.link->awaitSent(buf), 0) << "a pseudo-terminal has no wire to wait on";
    EXPECT_EQ(opened.link->read(std::span(buf).first(1)), 1);

    // The same pty, taken as a port with a wire.
    opened.link.reset();
    const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
    PosixSerialLink wired(fd, true);
    pty.receive();
    ASSERT_EQ(wired.write(bytes), 1000);
    pty.send(".");
    Ms took = timed([&] { EXPECT_EQ(wired.awaitSent(buf), 1) << "it came while the line went out"; });
    EXPECT_LT(took, Ms(87)) << "taken when it came, not at the end of the line";

    const std::string shortLine = ":00000005FB\r\n";  // 1.1 ms on the wire
    ASSERT_EQ(wired.write(std::span(reinterpret_cast<const std::uint8_t*>(shortLine.data()), shortLine.size())), 13);
    usleep(20000);
    pty.send(".");
    usleep(20000);
    EXPECT_EQ(wired.awaitSent(buf), 0) << "the line was out: this may be its answer";
    EXPECT_EQ(wired.read(std::span(buf).first(1)), 1);

    // Woken late, as on a busy PC: watching the long line's time on the
    // wire, the process does not run again until after the line's end, and
    // by then the answer is there. It may be the answer, so it is left for
    // the reply reader. A stop signal in mid-watch makes it certain.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool wrote = wired.write(bytes) == 1000;
        const char go = 1;
        if (::write(ready[1], &go, 1) != 1 || !wrote) _exit(99);
        _exit(wired.awaitSent(buf) == 0 ? 0 : 1);
    }
    char go = 0;
    ASSERT_EQ(::read(ready[0], &go, 1), 1);
    usleep(20000);  // watching, the line's end 67 ms away
    ::kill(child, SIGSTOP);
    usleep(100000);
    pty.send(".");
    usleep(20000);
    ::kill(child, SIGCONT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a late wake-up took the answer for a stray byte";
}

TEST(PosixLink, WritesArriveRawAndPurgeDropsWaitingInput) {
    Pty pty;
    auto opened = openPort(pty.path);
    ASSERT_TRUE(opened.link) << opened.message;
    const std::string line = ":00000005FB\r\n";
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    EXPECT_EQ(opened.link->write(bytes), static_cast<int>(line.size()));
    EXPECT_EQ(pty.receive(), line) << "no CR/LF translation on the way out";

    pty.send("stale\r\n");
    usleep(20000);
    EXPECT_EQ(opened.link->purge(), 0);
    std::array<std::uint8_t, 16> buf{};
    EXPECT_EQ(opened.link->read(buf), 0);
}

TEST(PosixLink, PortIsExclusive) {
    Pty pty;
    auto first = openPort(pty.path);
    ASSERT_TRUE(first.link) << first.message;
    auto second = openPort(pty.path);
    EXPECT_FALSE(second.link);
    EXPECT_EQ(second.error, OpenError::Busy);
    EXPECT_NE(second.message.find("in use"), std::string::npos) << second.message;
    // The holder is this very process, as /proc shows it.
    std::string comm;
    std::ifstream("/proc/self/comm") >> comm;
    const std::string us = comm + " (PID " + std::to_string(::getpid()) + ")";
    EXPECT_EQ(second.message, pty.path + ": port is in use by " + us);
    first.link.reset();
    EXPECT_TRUE(openPort(pty.path).link) << "closing lets the next one in";
}

// Who keeps a port from us: the process that has it open, the group to join.
TEST(PosixLink, PortHolderAndGroupAreFoundWhereTheSystemShowsThem) {
    Pty held;
    Pty free;
    const int fd = ::open(held.path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::string comm;
    std::ifstream("/proc/self/comm") >> comm;
    test::TempDir dir;
    std::filesystem::create_symlink(held.path, dir / "by-id");
    struct Case {
        std::string device;
        std::string holder;
    };
    const Case cases[] = {
        {held.path, comm + " (PID " + std::to_string(::getpid()) + ")"},
        {(dir / "by-id").string(), comm + " (PID " + std::to_string(::getpid()) + ")"},  // through a link
        {free.path, ""},
        {"/dev/ttyQELISP-none", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(portHolder(c.device), c.holder) << c.device;
    EXPECT_EQ(portHolder(held.path, dir.path()), "") << "no /proc there";
    ::close(fd);
    // A device of the group tty (root may give it one; another user's file
    // has the user's group); nobody is told to join root.
    const std::string device = (dir / "device").string();
    test::writeFile(dir / "device", "");
    const group* tty = ::getgrnam("tty");
    ASSERT_TRUE(tty);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(device.c_str(), static_cast<uid_t>(-1), tty->gr_gid), 0);
    }
    const group* own = ::getgrgid(::getegid());
    EXPECT_EQ(portGroup(device), root ? std::string("tty") : std::string(own ? own->gr_name : ""));
    EXPECT_EQ(portGroup("/dev/null"), "");
    EXPECT_EQ(portGroup("/dev/ttyQELISP-none"), "");
}

// What an earlier program left on the port does not reach the conversation:
// under software flow control the tty would keep an instrument's XOFF to
// itself and hold the line, and the exclusive flag, which on a pty outlives
// the close, would keep the next user other than root out. The test holds
// the port open itself, as that earlier program, and looks on (as root the
// flag keeps nobody out, so it is asked for).
TEST(PosixLink, WhatAnEarlierProgramLeftIsUndone) {
    struct Case {
        const char* what;
        tcflag_t left;  // input flags set before the link opens the port
    };
    const Case cases[] = {
        {"nothing", 0},
        {"XON/XOFF", IXON | IXOFF},
        {"XON/XOFF, any byte restarting", IXON | IXOFF | IXANY},
    };
    auto exclusive = [](int fd) {
        int flag = -1;
        return ioctl(fd, TIOCGEXCL, &flag) == 0 ? flag : -1;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pty pty;
        const int earlier = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(earlier, 0);
        termios tio{};
        ASSERT_EQ(tcgetattr(earlier, &tio), 0);
        tio.c_iflag |= c.left;
        ASSERT_EQ(tcsetattr(earlier, TCSANOW, &tio), 0);

        auto opened = openPort(pty.path);
        ASSERT_TRUE(opened.link) << opened.message;
        ASSERT_EQ(tcgetattr(earlier, &tio), 0);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
        pty.send("\x13");
        usleep(20000);
        std::array<std::uint8_t, 4> buf{};
        EXPECT_EQ(opened.link->readWaiting(buf), 1) << "the XOFF is a byte like any other";
        EXPECT_EQ(buf[0], 0x13);
        EXPECT_EQ(exclusive(earlier), 1) << "nobody else while it is open";
        opened.link.reset();
        EXPECT_EQ(exclusive(earlier), 0) << "released with the close";
        ::close(earlier);
    }
}

TEST(PosixLink, HangUpMakesReadFailInsteadOfTimingOut) {
    Pty pty;
    auto opened = openPort(pty.path);
    ASSERT_TRUE(opened.link) << opened.message;
    pty.closeMaster();
    std::array<std::uint8_t, 1> buf{};
    int n = 0;
    Ms took = timed([&] { n = opened.link->read(buf); });
    EXPECT_EQ(n, -1);
    EXPECT_LT(took, Ms(100));
    EXPECT_EQ(opened.link->read(buf), -1) << "and keeps failing";
}

// Each way a name can fail to be a serial port, and names no terminal should
// see raw.
TEST(PosixLink, OpenErrorsSayWhy) {
    test::TempDir dir;
    const std::string base = dir.path().string();
    test::writeFile(dir / "file", "not a port\n");
    std::filesystem::create_symlink("loop-b", dir / "loop-a");
    std::filesystem::create_symlink("loop-a", dir / "loop-b");
    const std::string socketPath = base + "/socket";
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    struct Case {
        std::string name;
        OpenError error;
        std::string reason;
    };
    const Case cases[] = {
        {"/dev/ttyQELISP-none", OpenError::NotFound, "no such port"},
        {"ttyQELISP-none", OpenError::NotFound, "no such port"},  // short names live in /dev
        {base + "/file", OpenError::NotSerial, "is a regular file, not a serial port"},
        {base, OpenError::NotSerial, "is a directory, not a serial port"},
        {socketPath, OpenError::NotSerial, "is a socket, not a serial port"},
        {base + "/loop-a", OpenError::NotFound, "too many levels of symbolic links"},
        {base + "/" + std::string(10'000, 'a'), OpenError::NotFound, "name too long"},
        {base + "/a\x1b[2J\r\nb", OpenError::NotFound, "no such port"},
        // Up to the NUL this is the regular file.
        {base + "/file" + std::string(1, '\0') + "x", OpenError::NotFound, "NUL"},
    };
    for (const auto& c : cases) test::expectOpenFailure(c.name, c.error, c.reason);
    ::close(sock);
}

TEST(PosixLink, EnumerationOffersShortNamesThatOpen) {
    auto ports = enumeratePorts();
    for (const auto& name : ports) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_TRUE(openPort(name).link) << name << " was listed but cannot be opened";
    }
}

}  // namespace
}  // namespace qelisp
