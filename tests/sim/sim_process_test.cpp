// The qelisp-sim executable, run through the test-support SimProcess.
#include "tests/support/sim_process.h"
#include "tests/sim/loader_harness.h"
#include "tests/sim/pty_client.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

namespace qelisp::sim::testing {
namespace {

using namespace std::chrono_literals;
using test::SimProcess;

std::string simPath() { return QELISP_SIM_PATH; }

TEST(SimExecutable, PrintsThePtyThenASummaryOnSigterm) {
    SimProcess sim(simPath(), {"--no-pacing", "--erase-ms", "0", "--verbose"});
    ASSERT_TRUE(sim.started()) << sim.error();
    EXPECT_EQ(sim.stdoutText().rfind("pty: " + sim.ptyPath() + "\n", 0), 0u);
    {
        PtyClient client(sim.ptyPath());
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.exchange("U", 1), "U");
        EXPECT_EQ(client.exchange(kBegin, 2), "E.");
        EXPECT_EQ(client.exchange(pageSelect(3), 1), ".");
        EXPECT_EQ(client.exchange(dataRecord(0x3000, pattern(1)), 1), ".");
        EXPECT_EQ(client.exchange(kPageEnd, 1), ".");
        EXPECT_EQ(client.exchange(kEnd, 1), ".");
        EXPECT_EQ(client.exchange(kEnd, 1), ".");  // one line too many
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

TEST(SimExecutable, ExitOnHangupEndsByItselfAndSavesTheFlash) {
    test::TempDir dir;
    SimProcess sim(simPath(), {"--no-pacing", "--exit-on-hangup", "--save", (dir / "flash.bin").string()});
    ASSERT_TRUE(sim.started()) << sim.error();
    EXPECT_FALSE(sim.waitForExit(30ms)) << "nobody has connected yet: it keeps waiting";
    {
        PtyClient client(sim.ptyPath());
        EXPECT_EQ(client.exchange("U", 1), "U");
    }
    ASSERT_TRUE(sim.waitForExit(3s)) << sim.stderrText();
    EXPECT_EQ(sim.exitCode(), 0);
    ASSERT_TRUE(sim.summary()) << sim.stdoutText();
    EXPECT_EQ(sim.summary()->lines, 0u);
    EXPECT_EQ(std::filesystem::file_size(dir / "flash.bin"), 0x100000u);
}

TEST(SimExecutable, BadOptionsExitWithTwoAndHelpWithZero) {
    // Appended rather than summed: GCC 12 warns falsely (array-bounds) on
    // the sum when it can see both lengths.
    auto run = [](const char* arguments) {
        std::string command = simPath();
        command += arguments;
        return std::system(command.c_str());
    };
    int status = run(" --bogus >/dev/null 2>&1");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    status = run(" --help >/dev/null");
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qelisp::sim::testing
