// The Win32 serial backend against the simulated instrument on a pty that
// Wine maps to a COM port. scripts/test-windows sets the ports up and names
// them in the environment:
//   QELISP_TEST_PORT         a listed port with a loader behind it (COM1)
//   QELISP_TEST_HIGH_PORT    a port above COM9 with a loader behind it (COM12)
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

std::unique_ptr<SerialLink> openOrFail(const std::string& name, OpenMode mode = OpenMode::StartUp) {
    OpenResult result = openPort(name, mode);
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
