// The POSIX serial backend against a real pseudo-terminal: the far end is the
// pty master, standing in for the instrument.
#include "link/port.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <unistd.h>

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
    void send(std::string_view bytes) { ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
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
    first.link.reset();
    EXPECT_TRUE(openPort(pty.path).link) << "closing lets the next one in";
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

TEST(PosixLink, OpenErrorsAreNamed) {
    auto missing = openPort("/dev/ttyQELISP-none");
    EXPECT_EQ(missing.error, OpenError::NotFound);
    EXPECT_NE(missing.message.find("/dev/ttyQELISP-none: no such port"), std::string::npos) << missing.message;

    char file[] = "/tmp/qelisp-notatty-XXXXXX";
    int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    auto notTty = openPort(file);
    EXPECT_EQ(notTty.error, OpenError::NotSerial);
    std::remove(file);

    EXPECT_EQ(openPort("ttyQELISP-none").error, OpenError::NotFound) << "short names live in /dev";
}

TEST(PosixLink, EnumerationOffersAtMostEightShortNames) {
    auto ports = enumeratePorts();
    EXPECT_LE(ports.size(), 8u);
    for (const auto& name : ports) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_TRUE(openPort(name).link) << name << " was listed but cannot be opened";
    }
}

}  // namespace
}  // namespace qelisp
