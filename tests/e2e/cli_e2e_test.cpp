// qelisp-cli as a user runs it: exit status, what it prints, Ctrl-C.
#include "jobs/failure_hint.h"
#include "link/port.h"
#include "program_version.h"
#include "tests/e2e/cli_run.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qelisp {
namespace {

using test::CliRun;
using test::lastStatusLine;

class CliE2e : public ::testing::Test {
protected:
    CliRun cli(const std::vector<std::string>& args,
               const std::function<void(test::ChildProcess&)>& whileRunning = {}) {
        return test::runCli(args, whileRunning);
    }

    std::string flash() const { return (dir_ / "flash.bin").string(); }

    test::TempDir dir_;
};

// The port's name that starts each line of a log, with its ": ".
std::string portPrefix(const std::string& out) { return out.substr(0, out.find(": ") + 2); }

TEST_F(CliE2e, ProgramThenVerifyASimulatedInstrument) {
    CliRun program = cli({"program", "--simulate", "--no-pacing", "--sim-flash", flash()});
    EXPECT_EQ(program.exitCode, 0) << program.out << program.err;
    const std::string port = portPrefix(program.out);
    EXPECT_EQ(port.rfind("/dev/pts/", 0), 0u) << program.out.substr(0, 100);
    EXPECT_EQ(program.out.rfind(port + "Connecting...\n", 0), 0u);
    EXPECT_NE(program.out.find("\n" + port + "Writing Data To Address: 03000H\n"), std::string::npos);
    EXPECT_EQ(lastStatusLine(program.out).rfind(port + "Data Writed OK!  Time Elapsed ", 0), 0u)
        << lastStatusLine(program.out);
    EXPECT_EQ(program.out.find('['), std::string::npos) << "no progress bar into a file";
    EXPECT_NE(program.err.find("violations 0"), std::string::npos) << program.err;
    // One address line per 4 KB page, 03000H to 72000H; every line the port's.
    std::size_t lines = 0;
    std::size_t addresses = 0;
    for (std::size_t at = 0; at < program.out.size(); at = program.out.find('\n', at) + 1) {
        ++lines;
        EXPECT_EQ(program.out.compare(at, port.size(), port), 0) << program.out.substr(at, 60);
        if (program.out.compare(at + port.size(), 8, "Writing ") == 0) ++addresses;
    }
    EXPECT_EQ(addresses, 0x72u - 0x03u + 1u);
    // Besides: connecting, the 2 s erase as it starts and as it ends with its dots, the result.
    EXPECT_EQ(lines, addresses + 4u) << program.out.substr(0, 300);

    CliRun verify = cli({"verify", "--simulate", "--no-pacing", "--sim-flash", flash()});
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
    EXPECT_EQ(lastStatusLine(verify.out).rfind(portPrefix(verify.out) + "Data Verify OK!  Time Elapsed ", 0), 0u)
        << lastStatusLine(verify.out);
}

TEST_F(CliE2e, FailedJobExitsWithOne) {
    CliRun verify = cli({"verify", "--simulate", "--no-pacing"});  // erased flash
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(lastStatusLine(verify.out).rfind(portPrefix(verify.out) + "Verify Error At: 0", 0), 0u)
        << lastStatusLine(verify.out);
}

// A port that cannot be used fails the run like a failed instrument, and
// says what to do next; only a wrong command line is a usage error.
TEST_F(CliE2e, UnusablePortsFailTheRunAndSayWhatToDo) {
    CliRun missing = cli({"program", "--port", "/dev/ttyQELISP-none"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot open /dev/ttyQELISP-none: no such port\n"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("/dev/ttyQELISP-none: hint: " + std::string(hintText(FailureReason::NotFound))),
              std::string::npos)
        << missing.err;
    EXPECT_NE(missing.err.find("'qelisp-cli ports'"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty()) << "no job was started";

    CliRun odd = cli({"program", "--port", "/dev/tty\x1b[2J\a"});
    EXPECT_EQ(odd.exitCode, 1);
    EXPECT_NE(odd.err.find("cannot open /dev/tty\\x1b[2J\\x07: no such port"), std::string::npos) << odd.err;
    EXPECT_EQ(odd.err.find_first_of("\x1b\a"), std::string::npos) << "the terminal gets no control characters";

    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    auto held = openPort(name);
    ASSERT_TRUE(held.link) << held.message;
    CliRun busy = cli({"verify", "--port", name});
    EXPECT_EQ(busy.exitCode, 1);
    // This test holds it: the message names it as /proc does.
    std::string comm;
    std::ifstream("/proc/self/comm") >> comm;
    EXPECT_NE(busy.err.find("in use by " + comm + " (PID " + std::to_string(::getpid()) + ")"), std::string::npos)
        << busy.err;
    EXPECT_NE(busy.err.find(std::string(name) + ": hint: " + std::string(hintText(FailureReason::InUse))),
              std::string::npos)
        << busy.err;
    held.link.reset();
    ::close(master);

    CliRun usage = cli({"program"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err,
              "qelisp-cli: 'program' needs either --port PORT (or QELISP_PORT) or --simulate; see 'qelisp-cli program "
              "--help'\n")
        << "one line, pointing to the help";
}

TEST_F(CliE2e, TraceShowsTheConversation) {
    CliRun run = cli({"verify", "--simulate", "--no-pacing", "--trace"});
    EXPECT_NE(run.err.find("] >> U"), std::string::npos);
    EXPECT_NE(run.err.find("] << U"), std::string::npos);
    EXPECT_NE(run.err.find("] >> :08000002000030000000307F17\\r\\n"), std::string::npos);
}

TEST_F(CliE2e, CtrlCCancelsTheJob) {
    auto start = std::chrono::steady_clock::now();
    CliRun run = cli({"program", "--simulate"}, [&](test::ChildProcess& process) {
        // Into the paced run: the handshake pause, then a few pages.
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        process.signal(SIGINT);
    });
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exitCode, 130) << "as shells count SIGINT";
    EXPECT_EQ(lastStatusLine(run.out), portPrefix(run.out) + "User Canceled")
        << run.out.substr(run.out.size() > 300 ? run.out.size() - 300 : 0);
    EXPECT_LT(took, std::chrono::seconds(6)) << "the job stops at the next record";
}

TEST_F(CliE2e, InfoAndPorts) {
    CliRun info = cli({"info"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("model:    \"QX-DEV         \""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("03000H-720FFH"), std::string::npos) << info.out;
    EXPECT_EQ(cli({"ports"}).exitCode, 0);

    CliRun version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "qelisp-cli " QELISP_PROGRAM_VERSION);
    EXPECT_NE(version.out.find("\nfirmware: QX-DEV 2026.12.08\n"), std::string::npos) << version.out;
    const std::size_t hash = info.out.find("sha256:   ");
    ASSERT_NE(hash, std::string::npos) << info.out;
    EXPECT_NE(version.out.find(info.out.substr(hash, 10 + 64) + "\n"), std::string::npos) << version.out;
}

}  // namespace
}  // namespace qelisp
