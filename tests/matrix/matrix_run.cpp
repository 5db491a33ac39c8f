#include "tests/matrix/matrix_run.h"

#include "tests/support/child_process.h"
#include "tests/support/line_timing.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <numeric>
#include <semaphore>
#include <sstream>
#include <thread>

namespace qelisp::test {
namespace {

using Clock = std::chrono::steady_clock;

// Cases run side by side: each is mostly waiting on its time-outs, or, on a
// wire, on the wire itself (a paced update takes a minute and a half): the
// wire's 36 whole runs go at once, and 32 to 40 paced runs keep two cores
// about half busy.
constexpr unsigned kWorkers = 16;
constexpr unsigned kWireWorkers = 40;
// Room for starting two processes and for a loaded machine, over a whole
// run and over one failing step.
constexpr std::uint32_t kSlackMs = 1500;
constexpr std::uint32_t kStepSlackMs = 500;

std::uint32_t msSince(Clock::time_point start, Clock::time_point end) {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

// Every line the console program prints off a terminal starts with the
// port's name; the status is what follows it.
std::string statusOf(const std::string& line, const std::string& port) {
    const std::string prefix = port + ": ";
    return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

std::vector<std::string> lines(const std::string& text, const std::string& port) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) out.push_back(statusOf(line, port));
    }
    return out;
}

// "[   1.234] >> :0100..." -> 1234 ms; nullopt for other lines.
std::optional<std::uint32_t> traceMs(const std::string& line) {
    double seconds = 0;
    if (line.empty() || line[0] != '[' || std::sscanf(line.c_str(), "[%lf]", &seconds) != 1) return std::nullopt;
    return static_cast<std::uint32_t>(seconds * 1000.0 + 0.5);
}

bool isSuccessText(const std::string& line) {
    return line.rfind("Data Writed OK!", 0) == 0 || line.rfind("Data Verify OK!", 0) == 0;
}

void note(std::string& problems, const std::string& text) { problems += (problems.empty() ? "" : "; ") + text; }

}  // namespace

namespace {

std::counting_semaphore<>& fullSpeedSlots() {
    static std::counting_semaphore<> slots(std::max(1u, std::thread::hardware_concurrency()));
    return slots;
}

}  // namespace

FullSpeedSlot::FullSpeedSlot() { fullSpeedSlots().acquire(); }
FullSpeedSlot::~FullSpeedSlot() { fullSpeedSlots().release(); }

bool expectsSuccess(const MatrixCase& c) { return isSuccessText(c.status); }

namespace {

// How far a case runs, for ordering: a success or an unbounded case runs the
// whole job.
std::uint64_t linesToRun(const MatrixCase& c) {
    if (expectsSuccess(c) || !c.lines) return UINT64_MAX;
    return *c.lines;
}

}  // namespace

std::string strayByteStatus(Job job, const CliOutcome& outcome) {
    if (outcome.unexpected.empty()) return {};
    if (job == Job::Verify) return "Connecting Error33!";
    // ":LLAAAATT": the record type is the fourth byte.
    const std::size_t named = outcome.unexpected.find("; :");
    const std::string line = named != std::string::npos ? outcome.unexpected.substr(named + 2) : outcome.lastLineSent;
    if (line.size() < 9) return "(no line)";
    const std::string type = line.substr(7, 2);
    if (type == "06") return "Connecting Error!";
    if (type == "04") return "Connecting Error 3!";
    if (type == "00") return "Connecting Error 4!";
    if (type == "05") return "Connecting Error 2!";
    if (type == "01") return "Connecting Error 1!";
    return "(type " + type + ")";
}

const char* jobName(Job job) { return job == Job::Program ? "program" : "verify"; }

CliOutcome runCli(Job job, const std::string& port, const std::optional<CancelAt>& cancel, std::uint32_t timeoutMs) {
    CliOutcome outcome;
    const auto start = Clock::now();
    std::vector<std::string> args = {jobName(job), "--port", port, "--trace"};
    // A Ctrl-C may wait for any status line, also an address the log keeps
    // only one of per page: then every line, as it comes.
    if (cancel) args.push_back("--all-lines");
    ChildProcess cli(QELISP_CLI_PATH, cliArguments(args));
    Clock::time_point interrupted{};
    if (cancel) {
        auto seen = cli.waitForLine([&](const std::string& l) { return statusOf(l, port).rfind(cancel->line, 0) == 0; },
                                    std::chrono::milliseconds(timeoutMs));
        if (seen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(cancel->delayMs));
            interrupted = Clock::now();
            cli.signal(SIGINT);
        } else {
            outcome.problems = "'" + cancel->line + "' never showed";
        }
    }
    outcome.ended = cli.waitForExit(std::chrono::milliseconds(timeoutMs));
    const auto end = Clock::now();
    outcome.elapsedMs = msSince(start, end);
    if (interrupted != Clock::time_point{}) outcome.cancelToEndMs = msSince(interrupted, end);
    outcome.exitCode = cli.exitCode();

    const std::string out = cli.stdoutText();
    std::vector<std::string> shown;
    for (std::string& line : lines(out, port)) {
        // A failure's hint follows its text on a line of its own.
        if (line.rfind("hint: ", 0) == 0) {
            outcome.hint = line.substr(6);
        } else {
            shown.push_back(std::move(line));
        }
    }
    outcome.lastStatus = shown.empty() ? "(nothing)" : shown.back();
    outcome.successShown = std::any_of(shown.begin(), shown.end(), isSuccessText);
    outcome.stdoutTail = out.substr(out.size() > 400 ? out.size() - 400 : 0);
    const std::string err = cli.stderrText();
    for (const std::string& line : lines(err, port)) {
        if (auto ms = traceMs(line)) {
            outcome.lastTracedMs = *ms;
            const std::size_t sent = line.find("] >> ");
            if (sent != std::string::npos) {
                outcome.lastSentMs = *ms;
                if (line.compare(sent + 5, 1, ":") == 0) {
                    ++outcome.linesSent;
                    outcome.lastLineSent = line.substr(sent + 5);
                    if (!outcome.unexpected.empty()) outcome.sentAfterUnexpected = true;
                }
            }
            const std::size_t remark = line.find("] !! unexpected: ");
            if (remark != std::string::npos && outcome.unexpected.empty()) outcome.unexpected = line.substr(remark + 6);
        }
    }
    outcome.stderrText = err.substr(err.size() > 600 ? err.size() - 600 : 0);
    return outcome;
}

MatrixRunner::MatrixRunner()
    : flashFile_((dir_ / "programmed.bin").string()),
      cleanProgramMs_(wireMode() ? 120'000 : 30'000),
      cleanVerifyMs_(cleanProgramMs_) {
    writeFile(flashFile_, programmedFlash());
}

std::vector<MatrixResult> MatrixRunner::runAll(const std::vector<MatrixCase>& cases) {
    std::vector<MatrixCase> all;
    for (Job job : {Job::Program, Job::Verify}) {
        all.push_back({job,
                       "clean run",
                       "none",
                       {},
                       {},
                       job == Job::Program ? "Data Writed OK!" : "Data Verify OK!",
                       0,
                       0,
                       std::nullopt});
    }
    all.insert(all.end(), cases.begin(), cases.end());
    std::vector<MatrixResult> results(all.size());
    // The longest runs first, so that the short ones fill in beside them
    // rather than leave one long run alone at the end.
    std::vector<std::size_t> order(all.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return linesToRun(all[a]) > linesToRun(all[b]); });
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < (wireMode() ? kWireWorkers : kWorkers); ++w) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < order.size();) results[order[i]] = run(all[order[i]]);
        });
    }
    for (auto& worker : workers) worker.join();

    for (Job job : {Job::Program, Job::Verify}) {
        const MatrixResult& clean = results[job == Job::Program ? 0 : 1];
        EXPECT_TRUE(clean.problems.empty()) << "clean " << jobName(job) << " run: " << clean.problems;
        (job == Job::Program ? cleanProgramMs_ : cleanVerifyMs_) = clean.elapsedMs;
    }
    results.erase(results.begin(), results.begin() + 2);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const MatrixCase& c = cases[i];
        if (!expectsSuccess(c) || c.cancel) continue;
        const std::uint32_t bound = 2 * cleanMs(c.job) + c.costMs + kSlackMs;
        if (results[i].elapsedMs > bound)
            note(results[i].problems, "took longer than " + std::to_string(bound) + " ms");
    }
    return results;
}

MatrixResult MatrixRunner::run(const MatrixCase& c) {
    // A case that fails early is mostly waiting on its time-outs, and one on
    // a wire on the wire.
    std::optional<FullSpeedSlot> slot;
    if (!wireMode() && (expectsSuccess(c) || !c.lines || *c.lines > 100)) slot.emplace();
    MatrixResult result;
    std::vector<std::string> simArgs = {"--no-pacing", "--erase-ms", "0"};
    if (c.job == Job::Verify) simArgs.insert(simArgs.end(), {"--load", flashFile_});
    simArgs.insert(simArgs.end(), c.simArgs.begin(), c.simArgs.end());
    SimProcess sim(QELISP_SIM_PATH, simArgs);
    if (!sim.started()) {
        result.problems = "simulator did not start: " + sim.error();
        return result;
    }

    const bool wantSuccess = expectsSuccess(c);
    const CliOutcome cli = runCli(c.job, sim.ptyPath(), c.cancel, 2 * cleanMs(c.job) + c.costMs + 30'000);
    result.problems = cli.problems;
    if (!cli.ended) note(result.problems, "did not end");
    result.lastStatus = cli.lastStatus;
    result.exitCode = cli.exitCode;
    result.elapsedMs = cli.elapsedMs;
    result.cancelToEndMs = cli.cancelToEndMs;
    result.stdoutTail = cli.stdoutTail;
    result.stderrText = cli.stderrText;

    // A loader no check can tell from an honest one may get its success.
    result.notCaught = !c.outOfReach.empty() && cli.exitCode == 0 && cli.unexpected.empty();
    if (result.notCaught) {
        sim.stop();
        const auto summary = sim.summary();
        result.linesHeard = summary ? summary->lines : 0;
        if (result.linesHeard != cli.linesSent)
            note(result.problems, "the loader heard other lines than the trace shows");
        return result;
    }
    // A stray byte ends the job with the error of the step that heard it,
    // and nothing goes out after that.
    const std::string status = c.status.empty() ? strayByteStatus(c.job, cli) : c.status;
    if (c.status.empty()) {
        if (cli.unexpected.empty()) note(result.problems, "the trace names no unexpected byte");
        if (cli.sentAfterUnexpected) note(result.problems, "a line went out after the unexpected byte");
    }
    if (wantSuccess ? cli.lastStatus.rfind(status, 0) != 0 : cli.lastStatus != status) {
        note(result.problems, "expected '" + status + "'");
    }
    if (cli.exitCode != c.exitCode) note(result.problems, "exit status " + std::to_string(cli.exitCode));
    if (!wantSuccess && cli.successShown) note(result.problems, "a success text was printed");
    if (!wantSuccess && cli.hint.empty()) note(result.problems, "no hint after the failure");
    if (wantSuccess && !cli.hint.empty()) note(result.problems, "a hint after a success");
    // A failed step is timed by the program's own clock, so a busy machine
    // does not blur it: from its last line out (a failed handshake, with
    // no line at all, from the start) to its last trace line.
    if (c.cancel) {
        if (cli.cancelToEndMs > kCancelHeardMs) note(result.problems, "Ctrl-C not heard in time");
    } else if (wantSuccess) {
        result.stepMs = cli.elapsedMs;
    } else {
        const bool fromStart = c.lines == 0;
        result.stepMs = cli.lastTracedMs - (fromStart ? 0 : cli.lastSentMs);
        if (result.stepMs > c.costMs + kStepSlackMs) {
            note(result.problems, "the step took longer than " + std::to_string(c.costMs + kStepSlackMs) + " ms");
        }
    }

    sim.stop();
    if (auto summary = sim.summary()) {
        result.linesHeard = summary->lines;
        if (c.lines && summary->lines != *c.lines) {
            note(result.problems, "the loader heard " + std::to_string(summary->lines) + " lines");
        }
        if (c.status.empty() && summary->lines != cli.linesSent) {
            note(result.problems, "the loader heard " + std::to_string(summary->lines) + " lines, the trace shows " +
                                      std::to_string(cli.linesSent));
        }
    } else {
        note(result.problems, "no summary from the simulator");
    }
    return result;
}

}  // namespace qelisp::test
