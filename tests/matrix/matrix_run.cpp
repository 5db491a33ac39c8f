#include "tests/matrix/matrix_run.h"

#include "image/firmware_image.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <sstream>
#include <thread>

namespace qelisp::test {
namespace {

using Clock = std::chrono::steady_clock;

// Cases run side by side: each is mostly waiting on its time-outs.
constexpr unsigned kWorkers = 16;
// Room for starting two processes and for a loaded machine.
constexpr std::uint32_t kSlackMs = 1500;

std::uint32_t msSince(Clock::time_point start, Clock::time_point end) {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

bool isSuccessText(const std::string& line) {
    return line.rfind("Data Writed OK!", 0) == 0 || line.rfind("Data Verify OK!", 0) == 0;
}

void note(std::string& problems, const std::string& text) {
    problems += (problems.empty() ? "" : "; ") + text;
}

}  // namespace

const char* jobName(Job job) { return job == Job::Program ? "program" : "verify"; }

std::string programmedFlash() {
    std::string flash(1u << 20, '\xFF');
    const FirmwareImage& image = embeddedImage();
    image.walk(*image.findStartRecord(), [&](const ImageRecord& record) {
        auto data = record.data();
        std::copy(data.begin(), data.end(), flash.begin() + record.address());
        return true;
    });
    return flash;
}

CliOutcome runCli(Job job, const std::string& port, const std::optional<CancelAt>& cancel,
                  std::uint32_t timeoutMs) {
    CliOutcome outcome;
    const auto start = Clock::now();
    ChildProcess cli(QELISP_CLI_PATH, {jobName(job), "--port", port});
    Clock::time_point interrupted{};
    if (cancel) {
        auto seen = cli.waitForLine([&](const std::string& l) { return l.rfind(cancel->line, 0) == 0; },
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
    const auto shown = lines(out);
    outcome.lastStatus = shown.empty() ? "(nothing)" : shown.back();
    outcome.successShown = std::any_of(shown.begin(), shown.end(), isSuccessText);
    outcome.stdoutTail = out.substr(out.size() > 400 ? out.size() - 400 : 0);
    outcome.stderrText = cli.stderrText();
    return outcome;
}

MatrixRunner::MatrixRunner() : flashFile_((dir_ / "programmed.bin").string()) {
    writeFile(flashFile_, programmedFlash());
    for (Job job : {Job::Program, Job::Verify}) {
        MatrixCase clean{job, "clean run", "none", {}, {}, job == Job::Program ? "Data Writed OK!" : "Data Verify OK!",
                         0, 0, std::nullopt};
        MatrixResult result = run(clean);
        EXPECT_TRUE(result.problems.empty()) << "clean " << jobName(job) << " run: " << result.problems;
        (job == Job::Program ? cleanProgramMs_ : cleanVerifyMs_) = result.elapsedMs;
    }
}

std::vector<MatrixResult> MatrixRunner::runAll(const std::vector<MatrixCase>& cases) {
    std::vector<MatrixResult> results(cases.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < cases.size();) results[i] = run(cases[i]);
        });
    }
    for (auto& worker : workers) worker.join();
    return results;
}

MatrixResult MatrixRunner::run(const MatrixCase& c) {
    MatrixResult result;
    std::vector<std::string> simArgs = {"--no-pacing", "--erase-ms", "0"};
    if (c.job == Job::Verify) simArgs.insert(simArgs.end(), {"--load", flashFile_});
    simArgs.insert(simArgs.end(), c.simArgs.begin(), c.simArgs.end());
    SimProcess sim(QELISP_SIM_PATH, simArgs);
    if (!sim.started()) {
        result.problems = "simulator did not start: " + sim.error();
        return result;
    }

    const std::uint32_t bound = cleanMs(c.job) + c.costMs + kSlackMs;
    // The clean runs measure the baseline every other bound builds on, on
    // this machine under its present load; they need only end.
    const bool baseline = cleanMs(c.job) == 0;
    const CliOutcome cli = runCli(c.job, sim.ptyPath(), c.cancel, bound + 30'000);
    result.problems = cli.problems;
    if (!cli.ended) note(result.problems, "did not end");
    result.lastStatus = cli.lastStatus;
    result.exitCode = cli.exitCode;
    result.elapsedMs = cli.elapsedMs;
    result.cancelToEndMs = cli.cancelToEndMs;
    result.stdoutTail = cli.stdoutTail;
    result.stderrText = cli.stderrText;

    const bool wantSuccess = isSuccessText(c.status);
    if (wantSuccess ? cli.lastStatus.rfind(c.status, 0) != 0 : cli.lastStatus != c.status) {
        note(result.problems, "expected '" + c.status + "'");
    }
    if (cli.exitCode != c.exitCode) note(result.problems, "exit status " + std::to_string(cli.exitCode));
    if (!wantSuccess && cli.successShown) note(result.problems, "a success text was printed");
    if (c.cancel) {
        if (cli.cancelToEndMs > kCancelHeardMs) note(result.problems, "Ctrl-C not heard in time");
    } else if (!baseline && cli.elapsedMs > bound) {
        note(result.problems, "took longer than " + std::to_string(bound) + " ms");
    }

    sim.stop();
    if (auto summary = sim.summary()) {
        result.linesHeard = summary->lines;
        if (c.lines && summary->lines != *c.lines) {
            note(result.problems, "the loader heard " + std::to_string(summary->lines) + " lines");
        }
    } else {
        note(result.problems, "no summary from the simulator");
    }
    return result;
}

}  // namespace qelisp::test
