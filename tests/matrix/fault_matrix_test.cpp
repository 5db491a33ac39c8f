// Every step of both jobs that waits for the loader, against every fault that
// can hit it: qelisp-cli as a user runs it, against qelisp-sim over a pty,
// pacing off. Each case must end with the step's own status and exit status,
// within the time the protocol allows for it, and must never have printed a
// success text it was not entitled to. The table goes to stdout, and to the
// file named by QELISP_MATRIX_TABLE when that is set (docs/ keeps a copy).
#include "tests/matrix/matrix_run.h"
#include "tests/support/line_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace qelisp::test {
namespace {

constexpr std::uint32_t kPause = 1000;            // before each handshake attempt
constexpr std::uint32_t kRead = 200;              // one read's budget
constexpr std::uint32_t kEraseWait = 76 * kRead;  // an erase that never ends
constexpr std::uint32_t kAWait = 10 * kRead;      // verify's wait for 'A'
constexpr int kInterrupted = 130;                 // the exit status after Ctrl-C

// What the protocol allows a fault at a line step, from the line going out
// to the job's end.
std::uint32_t lineCost(const std::string& fault) {
    if (fault == "silence") return kRead;
    if (fault == "erase-forever") return kEraseWait;
    return 0;
}

// The same for the handshake, from the start: both attempts must fail.
std::uint32_t handshakeCost(const std::string& fault) {
    if (fault == "silence") return 2 * (kPause + kRead);
    if (fault == "erase-forever") return 2 * (kPause + kEraseWait);
    return 2 * kPause;
}

std::vector<MatrixCase> programCases() {
    std::vector<MatrixCase> cases;
    const std::vector<std::string> faults = {"silence", "wrong", "erase-forever", "erase-bad", "hangup"};
    for (const std::string& f : faults) {
        std::vector<std::string> sim = {"--fault", "u1:" + f};
        if (f != "hangup") sim.insert(sim.end(), {"--fault", "u2:" + f});  // a hang-up ends the line for good
        cases.push_back({Job::Program, "handshake", f, sim, {}, "Connecting Error!", 1, handshakeCost(f), 0});
    }
    cases.push_back(
        {Job::Program, "handshake", "Ctrl-C", {}, CancelAt{"Connecting...", 100}, "User Canceled", kInterrupted, 0, 0});

    struct Step {
        const char* name;
        int line;
        const char* status;
    };
    const Step steps[] = {
        {"begin line 06", 1, "Connecting Error!"},          {"page select 04", 2, "Connecting Error 3!"},
        {"data record 00", 3, "Connecting Error 4!"},       {"page end 05", 35, "Connecting Error 2!"},
        {"final page end 05", 3779, "Connecting Error 2!"}, {"end line 01", 3780, "Connecting Error 1!"},
    };
    for (const Step& s : steps) {
        const std::string line = std::to_string(s.line);
        for (const std::string& f : faults) {
            cases.push_back(
                {Job::Program, s.name, f, {"--fault", line + ":" + f}, {}, s.status, 1, lineCost(f), s.line});
        }
        // Held in an erase that does not end; only this one may say "Erasing".
        cases.push_back({Job::Program,
                         s.name,
                         "Ctrl-C",
                         {"--no-erase", "--fault", line + ":erase-forever"},
                         CancelAt{"Erasing Flash ", 100},
                         "User Canceled",
                         kInterrupted,
                         0,
                         s.line});
    }
    return cases;
}

std::vector<MatrixCase> verifyCases() {
    std::vector<MatrixCase> cases;
    const std::vector<std::string> faults = {"silence", "wrong", "erase-forever", "erase-bad", "hangup"};
    for (const std::string& f : faults) {
        std::vector<std::string> sim = {"--fault", "u1:" + f};
        if (f != "hangup") sim.insert(sim.end(), {"--fault", "u2:" + f});
        cases.push_back({Job::Verify, "handshake", f, sim, {}, "Connecting Error11!", 1, handshakeCost(f), 0});
    }
    cases.push_back(
        {Job::Verify, "handshake", "Ctrl-C", {}, CancelAt{"Connecting...", 100}, "User Canceled", kInterrupted, 0, 0});

    // The fifth block, 03200H: request line 5, asked again on lines 6 and 7.
    const std::string block = "Verifying Data At Address: 03200H";
    for (const std::string& f : faults) {
        cases.push_back(
            {Job::Verify, "read request 02", f, {"--fault", "5:" + f}, {}, "Connecting Error33!", 1, lineCost(f), 5});
    }
    cases.push_back({Job::Verify,
                     "read request 02",
                     "Ctrl-C",
                     {"--fault", "5:erase-forever"},
                     CancelAt{"Erasing Flash ", 100},
                     "User Canceled",
                     kInterrupted,
                     0,
                     5});

    cases.push_back(
        {Job::Verify, "wait for A", "silence", {"--fault", "5:no-a"}, {}, "Connecting Error33!", 1, kAWait, 5});
    cases.push_back({Job::Verify, "wait for A", "noise", {"--fault", "5:noise"}, {}, "Data Verify OK!", 0, 0, 3554});
    cases.push_back(
        {Job::Verify, "wait for A", "hangup", {"--fault", "5:hangup-after-ack"}, {}, "Connecting Error33!", 1, 0, 5});
    cases.push_back({Job::Verify,
                     "wait for A",
                     "Ctrl-C",
                     {"--fault", "5:no-a"},
                     CancelAt{block, 300},
                     "User Canceled",
                     kInterrupted,
                     0,
                     5});

    auto thrice = [](const std::string& kind) {
        return std::vector<std::string>{"--fault", "5:" + kind, "--fault", "6:" + kind, "--fault", "7:" + kind};
    };
    // A block asked for again is one more line.
    cases.push_back(
        {Job::Verify, "read-back", "short once", {"--fault", "5:short"}, {}, "Data Verify OK!", 0, kRead, 3555});
    // 100 characters are 50 bytes: byte 50 of the block is the first that never came.
    cases.push_back(
        {Job::Verify, "read-back", "short 3 times", thrice("short"), {}, "Verify Error At: 03232H", 1, kRead, 7});
    cases.push_back(
        {Job::Verify, "read-back", "corrupt once", {"--fault", "5:corrupt"}, {}, "Data Verify OK!", 0, 0, 3555});
    cases.push_back(
        {Job::Verify, "read-back", "corrupt 3 times", thrice("corrupt"), {}, "Verify Error At: 03205H", 1, 0, 7});
    cases.push_back(
        {Job::Verify, "read-back", "hangup", {"--fault", "5:hangup-in-block"}, {}, "Connecting Error33!", 1, kRead, 5});
    cases.push_back({Job::Verify,
                     "read-back",
                     "Ctrl-C",
                     {"--fault", "5:short"},
                     CancelAt{block, 50},
                     "User Canceled",
                     kInterrupted,
                     0,
                     5});
    return cases;
}

// Loaders that answer more than they were asked: a stream of dots after the
// 'U', a second '.' some time after the answer to every line or to one, an
// erase answered with two dots. Each with and without an answer to the end
// line. Every one
// must fail with the error of the step that heard the stray byte, with
// nothing sent after it; which step that is depends on when the byte comes,
// so the trace names it (an empty status).
std::vector<MatrixCase> surplusCases() {
    std::vector<MatrixCase> cases;
    auto add = [&](Job job, const std::string& step, const std::string& fault, std::vector<std::string> sim,
                   std::uint32_t costMs = kRead) {
        cases.push_back({job, step, fault, std::move(sim), {}, "", 1, costMs, std::nullopt});
    };
    for (const char* rate : {"fast", "byte", "1"}) {
        const std::string stream = std::string("dot stream ") + (rate == std::string("1") ? "1 per ms" : rate);
        add(Job::Program, "after U", stream + ", lines answered", {"--dot-stream", rate});
        add(Job::Program, "after U", stream + ", no line answered", {"--dot-stream", rate, "--fault", "*:silence"});
    }
    // Line 100: a data record on page 06. Without pacing the whole run takes
    // about 200 ms, so a second '.' 190 ms after line 100's answer could come
    // while the program waits for the end line, where nothing can tell it
    // from that line's answer (docs/loader-protocol.md). An erase of a second
    // at line 3000 keeps the run going until the stray byte has come.
    constexpr std::uint32_t kHoldMs = 1000;
    const std::vector<std::string> holdOpen{"--fault", "3000:erase", "--erase-ms", std::to_string(kHoldMs)};
    for (const char* ms : {"0", "1", "5", "100", "190"}) {
        const std::string twice = std::string("double@") + ms;
        for (const bool every : {true, false}) {
            std::vector<std::string> sim{"--fault", (every ? "*:" : "100:") + twice};
            if (!every) sim.insert(sim.end(), holdOpen.begin(), holdOpen.end());
            const std::string where = every ? "every line" : "line 100";
            // The step may be the held erase.
            const std::uint32_t cost = every ? kRead : kHoldMs + kRead;
            add(Job::Program, where, "'.' again after " + std::string(ms) + " ms", sim, cost);
            sim.insert(sim.end(), {"--fault", "3780:silence"});
            add(Job::Program, where, "'.' again after " + std::string(ms) + " ms, end line unanswered", sim, cost);
        }
    }
    for (const bool every : {true, false}) {
        const std::string target = every ? "*:erase-double" : "1:erase-double";
        const std::string where = every ? "every line" : "begin line 06";
        add(Job::Program, where, "'E' '.' '.'", {"--fault", target});
        add(Job::Program, where, "'E' '.' '.', end line unanswered", {"--fault", target, "--fault", "3780:silence"});
    }
    // A read request's answer may carry any bytes before its 'A': a stray
    // '.' that lands there is noise the job skips, and the block still has
    // to match. What comes after a block, or after the last, is caught.
    add(Job::Verify, "after U", "dot stream byte", {"--dot-stream", "byte"});
    add(Job::Verify, "every request", "'.' again after 5 ms", {"--fault", "*:double@5"});
    add(Job::Verify, "last request", "'.' again after 0 ms", {"--fault", "3554:double@0"});
    return cases;
}

// A loader that answers one line twice, the second '.' a little later, and
// from the next line on answers every line late. The extra '.' passes for
// the next line's answer, and from then on each late answer for the answer
// to the line after it: the program runs a line ahead of the loader. The
// extra '.' comes after a data line's time on the wire (23.4 ms at 115200
// 8N1) and before the late answer, where the watch over the line going out
// cannot see it; which loaders are caught then depends on how late they
// answer, and on the line timing.
std::vector<MatrixCase> runAheadCases() {
    constexpr int kEndLine = 3780;
    struct Place {
        const char* name;
        int line;  // the line answered twice
        bool final;
    };
    const Place places[] = {
        {"mid-page data record", 3760, false},
        {"data record before a page end", 3774, false},
        {"last data record", 3778, true},
    };
    struct Loader {
        int lateMs;   // every line's answer after the line has arrived
        int strayMs;  // the extra '.' after the doubled line's answer
    };
    const Loader loaders[] = {{5, 26}, {20, 33}, {50, 37}};
    // A wire's data line takes 23.4 ms: a later answer comes after it.
    constexpr int kDataLineMs = 23;

    std::vector<MatrixCase> cases;
    for (const Place& place : places) {
        for (const Loader& loader : loaders) {
            for (const bool endAnswered : {true, false}) {
                std::vector<std::string> sim = {
                    "--fault", std::to_string(place.line) + ":double@" + std::to_string(loader.strayMs), "--fault",
                    std::to_string(place.line + 1) + "-:late@" + std::to_string(loader.lateMs)};
                std::string fault = "'.' again after " + std::to_string(loader.strayMs) + " ms, then every line " +
                                    std::to_string(loader.lateMs) + " ms late";
                if (!endAnswered) {
                    sim.insert(sim.end(), {"--fault", std::to_string(kEndLine) + ":silence"});
                    fault += ", end line unanswered";
                }
                std::string outOfReach;
                if (endAnswered) {
                    // Caught at the latest by the end line's own answer,
                    // which comes after the answer taken for it.
                } else if (!wireMode()) {
                    outOfReach =
                        "over a pseudo-terminal a line arrives at once: there is no time on the wire in "
                        "which an early byte shows";
                } else if (place.final) {
                    outOfReach =
                        "after the last data line only short lines go out: the extra '.' and the late answers "
                        "take the final page end's and the end line's places, and the end line's own answer "
                        "never comes; in bytes and in time an honest run";
                } else if (loader.lateMs > kDataLineMs) {
                    outOfReach =
                        "each late answer comes after the next line has left (a data line 23.4 ms), "
                        "and the end line's own never comes";
                }
                cases.push_back(
                    {Job::Program, place.name, fault, std::move(sim), {}, "", 1, kRead, std::nullopt, outOfReach});
            }
        }
    }
    return cases;
}

std::string table(const std::vector<MatrixCase>& cases, const std::vector<MatrixResult>& results) {
    std::ostringstream out;
    out << "| job | step | fault | last status | exit | lines heard | time (ms) | step (ms) | allowed (ms) | verdict "
           "|\n"
        << "|---|---|---|---|---|---|---|---|---|---|\n";
    std::map<std::string, std::uint32_t> worst;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const MatrixCase& c = cases[i];
        const MatrixResult& r = results[i];
        const std::string step = std::string(jobName(c.job)) + " | " + c.step;
        worst[step] = std::max(worst[step], r.elapsedMs);
        std::string measured = c.cancel ? "Ctrl-C to end " + std::to_string(r.cancelToEndMs) : std::to_string(r.stepMs);
        std::string allowed = c.cancel            ? std::to_string(kCancelHeardMs)
                              : expectsSuccess(c) ? "2 x clean run + " + std::to_string(c.costMs)
                                                  : std::to_string(c.costMs);
        out << "| " << step << " | " << c.fault << " | " << r.lastStatus << " | " << r.exitCode << " | " << r.linesHeard
            << " | " << r.elapsedMs << " | " << measured << " | " << allowed << " | "
            << (!r.problems.empty() ? "FAIL: " + r.problems
                : r.notCaught       ? "out of reach: " + c.outOfReach
                                    : "pass")
            << " |\n";
    }
    out << "\nWorst case per step (ms):\n\n| job | step | worst time |\n|---|---|---|\n";
    for (const auto& [step, ms] : worst) out << "| " << step << " | " << ms << " |\n";
    return out.str();
}

TEST(FaultMatrix, EveryWaitingStepAgainstEveryFault) {
    std::vector<MatrixCase> cases = programCases();
    for (MatrixCase& c : verifyCases()) cases.push_back(std::move(c));
    for (MatrixCase& c : surplusCases()) cases.push_back(std::move(c));
    for (MatrixCase& c : runAheadCases()) cases.push_back(std::move(c));

    MatrixRunner runner;
    std::vector<MatrixResult> results = runner.runAll(cases);
    const std::string text = table(cases, results) + "\nClean runs: program " +
                             std::to_string(runner.cleanMs(Job::Program)) + " ms, verify " +
                             std::to_string(runner.cleanMs(Job::Verify)) + " ms.\n";
    std::printf("%s", text.c_str());
    if (const char* file = std::getenv("QELISP_MATRIX_TABLE")) std::ofstream(file) << text;

    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(results[i].problems.empty())
            << jobName(cases[i].job) << ", " << cases[i].step << ", " << cases[i].fault << ": " << results[i].problems
            << "\nstdout tail: " << results[i].stdoutTail << "\nstderr: " << results[i].stderrText;
    }
}

}  // namespace
}  // namespace qelisp::test
