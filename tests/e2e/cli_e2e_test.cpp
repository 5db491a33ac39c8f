// qelisp-cli as a user runs it: exit status, what it prints, Ctrl-C.
#include "link/port.h"
#include "program_version.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qelisp {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliE2e : public ::testing::Test {
protected:
    // Runs the program to its end; `whileRunning` gets the process.
    CliRun cli(const std::vector<std::string>& args,
               const std::function<void(test::ChildProcess&)>& whileRunning = {}) {
        test::ChildProcess process(QELISP_CLI_PATH, args);
        EXPECT_TRUE(process.started()) << process.error();
        if (whileRunning) whileRunning(process);
        EXPECT_TRUE(process.waitForExit(std::chrono::seconds(60))) << "qelisp-cli did not end";
        return CliRun{process.exitCode(), process.stdoutText(), process.stderrText()};
    }

    std::string flash() const { return (dir_ / "flash.bin").string(); }

    test::TempDir dir_;
};

std::string lastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

TEST_F(CliE2e, ProgramThenVerifyASimulatedInstrument) {
    CliRun program = cli({"program", "--simulate", "--no-pacing", "--sim-flash", flash()});
    EXPECT_EQ(program.exitCode, 0) << program.out << program.err;
    EXPECT_EQ(program.out.substr(0, 14), "Connecting...\n");
    EXPECT_NE(program.out.find("\nWriting Data To Address: 03000H\n"), std::string::npos);
    EXPECT_EQ(lastLine(program.out).rfind("Data Writed OK!  Time Elapsed ", 0), 0u) << lastLine(program.out);
    EXPECT_EQ(program.out.find('['), std::string::npos) << "no progress bar into a file";
    EXPECT_NE(program.err.find("violations 0"), std::string::npos) << program.err;

    CliRun verify = cli({"verify", "--simulate", "--no-pacing", "--sim-flash", flash()});
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
    EXPECT_EQ(lastLine(verify.out).rfind("Data Verify OK!  Time Elapsed ", 0), 0u) << lastLine(verify.out);
}

TEST_F(CliE2e, FailedJobExitsWithOne) {
    CliRun verify = cli({"verify", "--simulate", "--no-pacing"});  // erased flash
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(lastLine(verify.out).rfind("Verify Error At: 0", 0), 0u) << lastLine(verify.out);
}

TEST_F(CliE2e, PortProblemsAreUsageErrorsWithAClearMessage) {
    CliRun missing = cli({"program", "--port", "/dev/ttyQELISP-none"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("no such port"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty()) << "no job was started";

    CliRun odd = cli({"program", "--port", "/dev/tty\x1b[2J\a"});
    EXPECT_EQ(odd.exitCode, 2);
    EXPECT_NE(odd.err.find("cannot open /dev/tty\\x1b[2J\\x07: no such port"), std::string::npos) << odd.err;
    EXPECT_EQ(odd.err.find_first_of("\x1b\a"), std::string::npos) << "the terminal gets no control characters";

    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    auto held = openPort(name);
    ASSERT_TRUE(held.link) << held.message;
    CliRun busy = cli({"verify", "--port", name});
    EXPECT_EQ(busy.exitCode, 2);
    EXPECT_NE(busy.err.find("in use"), std::string::npos) << busy.err;
    held.link.reset();
    ::close(master);

    CliRun usage = cli({"program"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("usage:"), std::string::npos);
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
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(lastLine(run.out), "User Canceled") << run.out.substr(run.out.size() > 300 ? run.out.size() - 300 : 0);
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
