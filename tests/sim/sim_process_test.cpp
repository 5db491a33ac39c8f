// The qelisp-sim executable, run through the test-support SimProcess.
#include "tests/sim/loader_harness.h"
#include "tests/sim/pty_client.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace qelisp::sim::testing {
namespace {

using namespace std::chrono_literals;
using test::SimProcess;

std::string simPath() { return QELISP_SIM_PATH; }

class SimExecutable : public ::testing::Test {};

TEST_F(SimExecutable, PrintsThePtyThenASummaryOnSigterm) {
    SimProcess sim(simPath(), {"--no-pacing", "--erase-ms", "0", "--verbose"});
    ASSERT_TRUE(sim.started()) << sim.error();
    EXPECT_EQ(sim.stdoutText().rfind("pty: " + sim.ptyPath() + "\n", 0), 0u);
    {
        PtyClient client(sim.ptyPath());
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.exchange("U", 1), "U");
        EXPECT_EQ(client.exchange(":02000006031ADB\r\n", 2), "E.");
        EXPECT_EQ(client.exchange(pageSelect(3), 1), ".");
        EXPECT_EQ(client.exchange(dataRecord(0x3000, pattern(1)), 1), ".");
        EXPECT_EQ(client.exchange(":00000005FB\r\n", 1), ".");
        EXPECT_EQ(client.exchange(":00000001FF\r\n", 1), ".");
        EXPECT_EQ(client.exchange(":00000001FF\r\n", 1), ".");  // one line too many
    }
    EXPECT_TRUE(sim.stop());
    EXPECT_EQ(sim.exitCode(), 0);
    const auto summary = sim.summary();
    ASSERT_TRUE(summary) << sim.stdoutText();
    EXPECT_EQ(summary->lines, 6u);
    EXPECT_EQ(summary->violations, 1u);
    EXPECT_EQ(summary->bytesWritten, 128u);
    EXPECT_NE(sim.stdoutText().find("\nqelisp-sim: lines 6, violations 1, bytes written 128\n"), std::string::npos)
        << sim.stdoutText();
    EXPECT_NE(sim.stderrText().find("line 6: line after the end line"), std::string::npos) << sim.stderrText();
    EXPECT_NE(sim.stderrText().find("line 1: :02000006031ADB"), std::string::npos) << sim.stderrText();
}

TEST_F(SimExecutable, ExitOnHangupEndsByItselfAndSavesTheFlash) {
    const auto saved = std::filesystem::temp_directory_path() / ("qelisp-sim-save-" + std::to_string(::getpid()));
    SimProcess sim(simPath(), {"--no-pacing", "--exit-on-hangup", "--save", saved.string()});
    ASSERT_TRUE(sim.started()) << sim.error();
    {
        PtyClient client(sim.ptyPath());
        EXPECT_EQ(client.exchange("U", 1), "U");
    }
    ASSERT_TRUE(sim.waitForExit(3s)) << sim.stderrText();
    EXPECT_EQ(sim.exitCode(), 0);
    ASSERT_TRUE(sim.summary()) << sim.stdoutText();
    EXPECT_EQ(sim.summary()->lines, 0u);
    EXPECT_EQ(std::filesystem::file_size(saved), 0x100000u);
    std::filesystem::remove(saved);
}

TEST_F(SimExecutable, HangupFaultEndsTheProcess) {
    SimProcess sim(simPath(), {"--no-pacing", "--fault", "u1:hangup"});
    ASSERT_TRUE(sim.started()) << sim.error();
    PtyClient client(sim.ptyPath());
    client.send("U");
    ASSERT_TRUE(sim.waitForExit(3s));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_EQ(client.receive(1, 50ms), "");
    EXPECT_TRUE(sim.summary());
}

TEST_F(SimExecutable, BadOptionsExitWithStatus2) {
    for (const char* args : {" --bogus", " --fault 0:silence", " --erase-ms soon"}) {
        const int status = std::system((simPath() + args + " >/dev/null 2>&1").c_str());
        ASSERT_TRUE(WIFEXITED(status)) << args;
        EXPECT_EQ(WEXITSTATUS(status), 2) << args;
    }
    const int status = std::system((simPath() + " --help >/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SimSummary, ParsesTheSummaryLine) {
    const auto s =
        test::parseSimSummary("pty: /dev/pts/3\nqelisp-sim: lines 3712, violations 2, bytes written 471168\n");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lines, 3712u);
    EXPECT_EQ(s->violations, 2u);
    EXPECT_EQ(s->bytesWritten, 471168u);
    EXPECT_FALSE(test::parseSimSummary("pty: /dev/pts/3\n"));
}

}  // namespace
}  // namespace qelisp::sim::testing
