// The Win32 serial backend against the simulated instrument on a pty that
// Wine maps to a COM port. scripts/test-windows sets the ports up and names
// them in the environment:
//   QELISP_TEST_PORT         a listed port with a loader behind it that keeps
//                            wire time at 115200 8N1 (COM1)
//   QELISP_TEST_HIGH_PORT    a port above COM9 with a loader behind it (COM12)
//   QELISP_TEST_STREAM_PORT  a port whose loader, once it has echoed 'U',
//                            sends a '.' nobody asked for every 20 ms (COM2)
//   QELISP_TEST_HANGUP_PORT  a port whose loader hangs up at the first 'U'
//   QELISP_TEST_MISSING_PORT a port name with no device behind it
#include "link/port.h"
#include "link/win32/windows_api.h"
#include "tests/support/open_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

namespace qelisp {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

std::string env(const char* name) {
    std::array<char, 64> value{};
    DWORD n = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    return n > 0 && n < value.size() ? std::string(value.data(), n) : std::string();
}

// Wine does not keep a second program off an open COM port, so the
// exclusive-open checks only mean something on Windows itself.
bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

#define REQUIRE_PORT(var, name)        \
    const std::string var = env(name); \
    if (var.empty()) GTEST_SKIP() << name " is not set";

std::unique_ptr<SerialLink> openOrFail(const std::string& name, OpenMode mode = OpenMode::StartUp,
                                       LineTiming timing = LineTiming::Auto) {
    OpenResult result = openPort(name, mode, timing);
    EXPECT_EQ(result.error, OpenError::None) << result.message;
    EXPECT_TRUE(result.link) << result.message;
    return std::move(result.link);
}

// Purge, 'U', and the loader's 'U' back.
void expectHandshake(SerialLink& link) {
    ASSERT_EQ(link.purge(), 0);
    const std::array<std::uint8_t, 1> u{'U'};
    ASSERT_EQ(link.write(u), 1);
    std::array<std::uint8_t, 1> reply{};
    ASSERT_EQ(link.read(reply), 1);
    EXPECT_EQ(reply[0], 'U');
}

TEST(Win32Link, ListsTheSimulatedPortsByShortNameAndNumber) {
    REQUIRE_PORT(port, "QELISP_TEST_PORT");
    REQUIRE_PORT(high, "QELISP_TEST_HIGH_PORT");
    REQUIRE_PORT(missing, "QELISP_TEST_MISSING_PORT");
    auto ports = enumeratePorts();
    auto at = [&](const std::string& name) { return std::find(ports.begin(), ports.end(), name) - ports.begin(); };
    EXPECT_LT(at(port), at(high)) << "by number, COM12 among them";
    EXPECT_LT(at(high), static_cast<long>(ports.size()));
    EXPECT_EQ(at(missing), static_cast<long>(ports.size())) << "a port with nothing behind it is not offered";
}

TEST(Win32Link, HandshakeByteComesBackInBothOpenForms) {
    REQUIRE_PORT(port, "QELISP_TEST_PORT");
    {
        auto link = openOrFail(port, OpenMode::StartUp);
        ASSERT_TRUE(link);
        expectHandshake(*link);
    }
    // Closed again, so it can be reopened as after a new selection.
    auto link = openOrFail(port, OpenMode::Reselect);
    ASSERT_TRUE(link);
    expectHandshake(*link);
}

TEST(Win32Link, ReadWithNothingArrivingReturnsZeroAfterTheBudget) {
    REQUIRE_PORT(port, "QELISP_TEST_PORT");
    auto link = openOrFail(port);
    ASSERT_TRUE(link);
    ASSERT_EQ(link->purge(), 0);
    std::array<std::uint8_t, 1> byte{};
    auto started = SteadyClock::now();
    EXPECT_EQ(link->read(byte), 0);
    auto took = SteadyClock::now() - started;
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, 1000ms) << "a read must never block beyond its budget";
}

TEST(Win32Link, LongReadReturnsWithinTheSameBudget) {
    REQUIRE_PORT(port, "QELISP_TEST_PORT");
    auto link = openOrFail(port);
    ASSERT_TRUE(link);
    expectHandshake(*link);
    std::array<std::uint8_t, 256> block{};
    auto started = SteadyClock::now();
    EXPECT_EQ(link->read(block), 0);
    EXPECT_LT(SteadyClock::now() - started, 1000ms);
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::chrono::nanoseconds wireTime(std::size_t bytes) {
    return std::chrono::nanoseconds(kByteTimeNs * static_cast<std::int64_t>(bytes));
}

// What awaitSent makes of the bytes that come after a line was written.
enum class Seen {
    Stray,      // returned as it came, well before the line could be out
    Answer,     // left, and read() returns it: the loader's '.'
    Unwatched,  // no wire to watch: 0 at once, the bytes left waiting
};

struct WatchCase {
    const char* what;
    std::string port;
    LineTiming timing;
    std::string line;
    std::chrono::milliseconds pause;  // between the write and awaitSent
    Seen seen;
};

// A long run of bytes the loader takes for noise (no ':', so no line and no
// answer): 3000 bytes, 260 ms on the wire, while the stream's '.' comes every
// 20 ms. The page end is the shortest line the loader answers: 1.1 ms.
TEST(Win32Link, AwaitSentTellsStrayBytesFromTheAnswerByTheLinesWireTime) {
    REQUIRE_PORT(answering, "QELISP_TEST_PORT");
    REQUIRE_PORT(stream, "QELISP_TEST_STREAM_PORT");
    const std::string noise(3000, '0');
    const std::string pageEnd = ":00000005FB\r\n";
    const WatchCase cases[] = {
        {"a '.' while a long line goes out is stray, taken as it comes", stream, LineTiming::Wire, noise, 0ms,
         Seen::Stray},
        {"the answer to a short line is left for read()", answering, LineTiming::Wire, pageEnd, 0ms, Seen::Answer},
        {"auto under Wine: no wire, nothing watched", stream, LineTiming::Auto, noise, 60ms, Seen::Unwatched},
        {"pty: nothing watched", stream, LineTiming::Pty, noise, 60ms, Seen::Unwatched},
    };
    // One row's failure ends that row only.
    auto check = [](const WatchCase& c) {
        auto link = openOrFail(c.port, OpenMode::StartUp, c.timing);
        ASSERT_TRUE(link);
        expectHandshake(*link);
        std::array<std::uint8_t, 32> buf{};
        // The answer may come a little after the line's end or just inside
        // the watch's last millisecond: a few lines see both.
        const int lines = c.seen == Seen::Answer ? 20 : 1;
        for (int i = 0; i < lines; ++i) {
            const auto started = SteadyClock::now();
            ASSERT_EQ(link->write(bytesOf(c.line)), static_cast<int>(c.line.size()));
            std::this_thread::sleep_for(c.pause);
            const auto called = SteadyClock::now();
            const int n = link->awaitSent(buf);
            const auto returned = SteadyClock::now();
            switch (c.seen) {
                case Seen::Stray:
                    ASSERT_GE(n, 1);
                    EXPECT_EQ(std::string(buf.begin(), buf.begin() + n), std::string(static_cast<std::size_t>(n), '.'));
                    EXPECT_LT(returned - started, wireTime(c.line.size()) / 2) << "not only at the line's end";
                    break;
                case Seen::Answer:
                    ASSERT_EQ(n, 0) << "line " << i << ": the answer came after the line's wire time";
                    ASSERT_EQ(link->read(std::span(buf).first(1)), 1) << "line " << i;
                    EXPECT_EQ(buf[0], '.');
                    EXPECT_EQ(link->readWaiting(buf), 0) << "line " << i << ": one answer, handed out once";
                    break;
                case Seen::Unwatched:
                    EXPECT_EQ(n, 0);
                    EXPECT_LT(returned - called, 100ms) << "at once, not at the line's end";
                    EXPECT_GE(link->readWaiting(buf), 1) << "the stream's '.' was left waiting";
                    break;
            }
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // On Windows itself auto means a wire.
        if (c.timing == LineTiming::Auto && !underWine()) continue;
        check(c);
    }
}

TEST(Win32Link, PortHeldOpenIsBusyAndNotListed) {
    REQUIRE_PORT(port, "QELISP_TEST_PORT");
    if (underWine()) GTEST_SKIP() << "Wine lets a held COM port be opened again";
    auto held = openOrFail(port);
    ASSERT_TRUE(held);

    OpenResult second = openPort(port);
    EXPECT_FALSE(second.link);
    EXPECT_EQ(second.error, OpenError::Busy) << second.message;
    EXPECT_NE(second.message.find(port), std::string::npos) << second.message;

    auto ports = enumeratePorts();
    EXPECT_EQ(std::find(ports.begin(), ports.end(), port), ports.end()) << "a held port was offered";
}

TEST(Win32Link, MissingPortIsNotFound) {
    REQUIRE_PORT(port, "QELISP_TEST_MISSING_PORT");
    OpenResult result = openPort(port);
    EXPECT_FALSE(result.link);
    EXPECT_EQ(result.error, OpenError::NotFound) << result.message;
    EXPECT_NE(result.message.find(port), std::string::npos) << result.message;
}

// Names that are no port. A directory must not read as a port held by
// another program.
TEST(Win32Link, OpenErrorsSayWhy) {
    std::array<char, MAX_PATH> windows{};
    std::array<char, MAX_PATH> temp{};
    std::array<char, MAX_PATH> file{};
    ASSERT_GT(GetWindowsDirectoryA(windows.data(), MAX_PATH), 0u);
    ASSERT_GT(GetTempPathA(MAX_PATH, temp.data()), 0u);
    ASSERT_NE(GetTempFileNameA(temp.data(), "qel", 0, file.data()), 0u);

    struct Case {
        std::string name;
        OpenError error;
        std::string reason;
    };
    const Case cases[] = {
        {windows.data(), OpenError::NotSerial, "is a directory, not a serial port"},
        {std::string("\\\\.\\") + windows.data(), OpenError::NotSerial, "is a directory, not a serial port"},
        {file.data(), OpenError::NotSerial, "is a file, not a serial port"},
        {"COM1\x1b[2J\r\n", OpenError::NotFound, "control characters"},
        {std::string(10'000, 'A'), OpenError::NotFound, "name too long"},
    };
    for (const auto& c : cases) test::expectOpenFailure(c.name, c.error, c.reason);
    DeleteFileA(file.data());
}

TEST(Win32Link, PortAboveNineOpensThroughTheDeviceNamespace) {
    REQUIRE_PORT(port, "QELISP_TEST_HIGH_PORT");
    auto link = openOrFail(port);
    ASSERT_TRUE(link);
    expectHandshake(*link);
}

TEST(Win32Link, PortWhosePeerHungUpReportsFailureInsteadOfHanging) {
    REQUIRE_PORT(port, "QELISP_TEST_HANGUP_PORT");
    auto link = openOrFail(port);
    ASSERT_TRUE(link);
    const std::array<std::uint8_t, 1> u{'U'};
    ASSERT_EQ(link->write(u), 1);
    // The loader closes the line instead of answering. Windows fails the
    // reads from then on, Wine the writes; either way the link must say -1
    // within a few calls, each bounded by its time-out.
    std::array<std::uint8_t, 1> byte{};
    bool failed = false;
    auto deadline = SteadyClock::now() + 3s;
    while (!failed && SteadyClock::now() < deadline) {
        failed = link->read(byte) < 0 || link->write(u) < 0;
    }
    EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace qelisp
