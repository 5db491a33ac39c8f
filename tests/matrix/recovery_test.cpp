// An interrupted update never strands the instrument: the loader below
// 03000H is never written, so programming again always recovers. Each case
// interrupts a run (the adapter pulled out, or Ctrl-C), optionally power
// cycles the instrument (a fresh simulator on the same flash), then programs
// and verifies again; the flash must then hold exactly the image.
#include "tests/matrix/matrix_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace qelisp::test {
namespace {

struct Interruption {
    const char* where;
    int line;            // the command line it hits
    const char* shows;   // the status line that says the job has reached it
    bool hangUp;         // else Ctrl-C while the loader holds the line
    bool powerCycle;     // a new simulator for the runs after it
    const char* status;  // how the interrupted run ends
};

// In the development image: line 1 is the begin line, line 20 a data record
// in the middle of page 03, line 3777 the first record of the last page.
const Interruption kInterruptions[] = {
    {"at the start", 1, "Erasing Flash ", true, true, "Connecting Error!"},
    {"at the start", 1, "Erasing Flash ", false, false, "User Canceled"},
    {"at the start", 1, "Erasing Flash ", false, true, "User Canceled"},
    {"mid-page", 20, "Writing Data To Address: 03880H", true, true, "Connecting Error 4!"},
    {"mid-page", 20, "Writing Data To Address: 03880H", false, false, "User Canceled"},
    {"mid-page", 20, "Writing Data To Address: 03880H", false, true, "User Canceled"},
    {"last page", 3777, "Writing Data To Address: 72000H", true, true, "Connecting Error 4!"},
    {"last page", 3777, "Writing Data To Address: 72000H", false, false, "User Canceled"},
    {"last page", 3777, "Writing Data To Address: 72000H", false, true, "User Canceled"},
};

constexpr std::uint32_t kRunTimeoutMs = 60'000;

// Everything that went wrong in one case; empty when it recovered.
std::string recover(const Interruption& c, const TempDir& dir) {
    FullSpeedSlot slot;
    const std::string tag = std::to_string(c.line) + (c.hangUp ? "h" : "c") + (c.powerCycle ? "p" : "");
    const std::string first = (dir / ("first-" + tag)).string();
    const std::string last = (dir / ("last-" + tag)).string();
    std::string problems;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) problems += what + "; ";
    };

    // A hang-up fault closes the line at once; a Ctrl-C needs the job held
    // at its line, by an erase that does not end.
    const std::string fault = std::to_string(c.line) + (c.hangUp ? ":hangup" : ":erase-forever");
    auto sim = std::make_unique<SimProcess>(QELISP_SIM_PATH,
                                            std::vector<std::string>{"--no-pacing", "--erase-ms", "0", "--save",
                                                                     c.powerCycle ? first : last, "--fault", fault});
    if (!sim->started()) return "simulator did not start";

    std::optional<CancelAt> cancel;
    if (!c.hangUp) cancel = CancelAt{c.shows, 300};
    CliOutcome interrupted = runCli(Job::Program, sim->ptyPath(), cancel, kRunTimeoutMs);
    expect(interrupted.problems.empty(), interrupted.problems);
    expect(interrupted.lastStatus == c.status, "interrupted run ended '" + interrupted.lastStatus + "'");

    if (c.powerCycle) {
        sim->stop();
        sim = std::make_unique<SimProcess>(QELISP_SIM_PATH, std::vector<std::string>{"--no-pacing", "--erase-ms", "0",
                                                                                     "--load", first, "--save", last});
        if (!sim->started()) return problems + "simulator did not start again";
    }
    CliOutcome program = runCli(Job::Program, sim->ptyPath(), std::nullopt, kRunTimeoutMs);
    expect(program.exitCode == 0, "program again ended '" + program.lastStatus + "'");
    CliOutcome verify = runCli(Job::Verify, sim->ptyPath(), std::nullopt, kRunTimeoutMs);
    expect(verify.exitCode == 0, "verify ended '" + verify.lastStatus + "'");

    expect(sim->stop(), "simulator did not stop");
    auto summary = sim->summary();
    expect(summary && summary->violations == 0, "the loader saw violations: " + sim->stderrText());
    expect(readFile(last) == programmedFlash(), "the flash does not hold exactly the image");
    return problems;
}

TEST(Recovery, ProgrammingAgainAfterAnyInterruptionRestoresTheImage) {
    TempDir dir;
    constexpr std::size_t n = std::size(kInterruptions);
    std::string problems[n];
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < n; ++i) runs.emplace_back([&, i] { problems[i] = recover(kInterruptions[i], dir); });
    for (auto& run : runs) run.join();

    for (std::size_t i = 0; i < n; ++i) {
        const Interruption& c = kInterruptions[i];
        std::printf("recovery: %-12s line %4d, %-7s %-16s: %s\n", c.where, c.line, c.hangUp ? "hang-up" : "Ctrl-C",
                    c.powerCycle ? "power cycled" : "same instrument", problems[i].empty() ? "recovered" : "FAILED");
        EXPECT_TRUE(problems[i].empty()) << c.where << ", line " << c.line << ": " << problems[i];
    }
}

}  // namespace
}  // namespace qelisp::test
