// qelisp-cli with nobody, a stalled reader or a closed pipe on the other end
// of its output, and signals in the middle of an update.
#include "tests/e2e/cli_run.h"
#include "tests/e2e/cli_spawn.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qelisp::test {
namespace {

using std::chrono::milliseconds;

constexpr std::uint64_t kUpdateLines = 3780;

// A file the child writes and the test reads back.
struct OutputFile {
    std::string path;
    int fd;
    OutputFile(const TempDir& dir, const char* name)
        : path((dir / name).string()), fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}
    ~OutputFile() { ::close(fd); }
    std::string text() const { return readFile(path); }
};

std::unique_ptr<SimProcess> startPlainSim(std::vector<std::string> args) {
    auto sim = std::make_unique<SimProcess>(QELISP_SIM_PATH, args);
    EXPECT_TRUE(sim->started()) << sim->error();
    return sim;
}

// The last command line the simulator logged with --verbose; 0 before any.
std::uint64_t linesHeard(const std::string& verboseLog) {
    const auto at = verboseLog.rfind("qelisp-sim: line ");
    return at == std::string::npos ? 0 : std::stoull(verboseLog.substr(at + 17));
}

// With descriptors 0 to 2 closed the port must not become "standard
// output": the loader hears the update's lines and nothing else.
TEST(CliOutputE2e, ClosedStandardDescriptorsLeaveTheLineToTheLoader) {
    auto sim = startPlainSim({"--no-pacing", "--erase-ms", "0"});
    SpawnedCli cli({"program", "--port", sim->ptyPath()}, {kClosed, kClosed, kClosed});
    ASSERT_TRUE(cli.started());
    EXPECT_EQ(cli.wait(runLimit()), 0);
    ASSERT_TRUE(sim->stop());
    const auto summary = sim->summary();
    ASSERT_TRUE(summary) << sim->stdoutText();
    EXPECT_EQ(summary->lines, kUpdateLines);
    EXPECT_EQ(summary->violations, 0u) << sim->stderrText();
}

// A reader that never reads (or a terminal closed) holds up neither the
// signal nor the job's end, and neither does the phase the run is in: a
// signal ends it within 400 ms, with the exit status shells give a process
// that signal ended, and the loader hears at most the line under way.
TEST(CliOutputE2e, SignalsEndTheJobWhateverTheReaderDoes) {
    enum class Phase {
        Running,
        JobsOver,  // the update over, its lines waiting for the reader
        Waiting,   // --wait for a port that never comes
    };
    struct Case {
        Phase phase;
        const char* option;
        int stalled;  // the descriptor whose pipe is full, or kClosed
        int signal;
        int status;
    };
    const Case cases[] = {
        {Phase::Running, "--all-lines", 1, SIGINT, 130},        {Phase::Running, "--trace", 2, SIGINT, 130},
        {Phase::Running, "--all-lines", kClosed, SIGHUP, 129},  {Phase::Running, "--json", kClosed, SIGINT, 130},
        {Phase::Running, "--all-lines", 1, SIGTERM, 143},       {Phase::JobsOver, "--all-lines", 1, SIGINT, 130},
        {Phase::JobsOver, "--all-lines", 1, SIGTERM, 143},      {Phase::JobsOver, "--all-lines", 1, SIGHUP, 129},
        {Phase::Waiting, "--all-lines", kClosed, SIGTERM, 143},
    };
    const char* phases[] = {"running", "jobs over", "waiting"};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(phases[static_cast<int>(c.phase)]) + " " + c.option +
                     (c.stalled == kClosed ? "" : " stalled") + " " + strsignal(c.signal));
        TempDir dir;
        OutputFile out(dir, "stdout");
        OutputFile err(dir, "stderr");
        TestPipe pipe;
        pipe.fill();
        std::array<int, 3> fds{kClosed, out.fd, err.fd};
        if (c.stalled != kClosed) fds[static_cast<std::size_t>(c.stalled)] = pipe.write;
        // Running: paced, and each reply held 100 ms, so that a line is
        // under way for longer than the program takes to see the signal, on
        // a busy machine too. Jobs over: unpaced, the whole update is over
        // in seconds, its lines held for the stalled reader.
        std::unique_ptr<SimProcess> sim;
        std::vector<std::string> args{"program", c.option};
        if (c.phase == Phase::Running) {
            sim = startPlainSim({"--erase-ms", "0", "--latency-ms", "100", "--verbose"});
            args.insert(args.end(), {"--port", sim->ptyPath()});
        } else if (c.phase == Phase::JobsOver) {
            args.insert(args.end(), {"--simulate", "--no-pacing"});
        } else {
            args.insert(args.end(), {"--port", (dir / "never").string(), "--wait", "60"});
        }
        SpawnedCli cli(args, fds);
        ASSERT_TRUE(cli.started());

        // The phase, as the simulator or the program's own standard error
        // shows it.
        const auto until = std::chrono::steady_clock::now() + runLimit();
        auto reached = [&] {
            if (c.phase == Phase::Running) return linesHeard(sim->stderrText()) >= 10;
            const char* said = c.phase == Phase::JobsOver ? "simulated instrument: lines 3780," : "waiting up to 60 s";
            return err.text().find(said) != std::string::npos;
        };
        while (!reached() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(milliseconds(5));
        ASSERT_TRUE(reached()) << "never got there; standard error: " << err.text();
        const std::uint64_t heard = sim ? linesHeard(sim->stderrText()) : 0;
        const auto signalled = std::chrono::steady_clock::now();
        cli.signal(c.signal);
        const auto status = cli.wait(milliseconds(5'000));
        const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - signalled);
        EXPECT_EQ(status, c.status);
        EXPECT_LT(took.count(), 400) << "from the signal to the end";
        if (!sim) continue;
        ASSERT_TRUE(sim->stop());
        EXPECT_LE(linesHeard(sim->stderrText()), heard + 1) << "lines after the cancel";
        if (c.stalled == 1) continue;
        if (std::string(c.option) != "--json") {
            EXPECT_EQ(lastStatusLine(out.text()), sim->ptyPath() + ": User Canceled");
            continue;
        }
        // A cancelled update is no success, for a script either: it stopped
        // after the erase, so the flash is incomplete.
        std::vector<nlohmann::json> ends;
        std::istringstream lines(out.text());
        for (std::string line; std::getline(lines, line);) {
            ASSERT_TRUE(nlohmann::json::accept(line)) << line;
            const nlohmann::json event = nlohmann::json::parse(line);
            if (event.value("event", "") == "end") ends.push_back(event);
        }
        ASSERT_EQ(ends.size(), 1u) << out.text();
        const nlohmann::json& end = ends[0];
        EXPECT_EQ(end["ok"], false) << end;
        EXPECT_EQ(end["status"], "User Canceled") << end;
        EXPECT_EQ(end["reason"], "cut-off") << end;
        EXPECT_TRUE(end["hint"].is_string()) << end;
    }
}

// The reader of standard output goes away, or the disk is full: said once,
// and the update goes on to its end.
TEST(CliOutputE2e, AFailedStandardOutputIsSaidOnceAndTheJobGoesOn) {
    struct Case {
        const char* stdoutTo;  // "pipe": read up to its first line, then closed
        const char* said;
    };
    const Case cases[] = {
        {"pipe", "qelisp-cli: standard output: Broken pipe; the job goes on\n"},
        {"/dev/full", "qelisp-cli: standard output: No space left on device; the job goes on\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stdoutTo);
        auto sim = startPlainSim({"--no-pacing", "--erase-ms", "0"});
        TempDir dir;
        OutputFile err(dir, "stderr");
        TestPipe pipe;
        const bool toPipe = std::string(c.stdoutTo) == "pipe";
        const int full = toPipe ? -1 : ::open(c.stdoutTo, O_WRONLY | O_CLOEXEC);
        SpawnedCli cli({"program", "--port", sim->ptyPath(), "--all-lines"},
                       {kClosed, toPipe ? pipe.write : full, err.fd});
        ASSERT_TRUE(cli.started());
        if (toPipe) {
            for (char ch = 0; ch != '\n' && ::read(pipe.read, &ch, 1) == 1;) {
            }
            pipe.closeRead();
        }
        EXPECT_EQ(cli.wait(runLimit()), 0);
        if (full >= 0) ::close(full);
        EXPECT_EQ(err.text(), c.said);
        ASSERT_TRUE(sim->stop());
        EXPECT_EQ(sim->summary()->lines, kUpdateLines);
    }
}

}  // namespace
}  // namespace qelisp::test
