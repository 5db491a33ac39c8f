// Every reason a job can fail for, once, through qelisp-cli against a faulty
// qelisp-sim: off a terminal the failure's status line is followed by
// "<port>: hint: " and that reason's hint.
#include "jobs/failure_hint.h"
#include "tests/e2e/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace qelisp::test {
namespace {

struct HintCase {
    const char* command;
    std::vector<std::string> faults;  // --fault arguments
    const char* status;               // the start of the job's last status
    FailureReason reason;
};

// The one line after `prefix` + "hint: ", and how many such lines there are.
std::pair<std::string, std::size_t> hintLine(const std::string& out, const std::string& prefix) {
    const std::string start = prefix + "hint: ";
    std::pair<std::string, std::size_t> found;
    for (std::size_t at = 0; at < out.size(); at = out.find('\n', at) + 1) {
        if (out.compare(at, start.size(), start) != 0) continue;
        found.first = out.substr(at, out.find('\n', at) - at);
        ++found.second;
        if (out.find('\n', at) == std::string::npos) break;
    }
    return found;
}

TEST(CliHintE2e, EachFailureReasonEndsWithItsHint) {
    const std::vector<HintCase> cases = {
        {"program", {"u1:silence", "u2:silence"}, "Connecting Error!", FailureReason::NoAnswer},
        // The adapter pulled as the handshake goes out: the same text as silence.
        {"program", {"u1:hangup"}, "Connecting Error!", FailureReason::PortGone},
        {"program", {"u1:wrong", "u2:wrong"}, "Connecting Error!", FailureReason::WrongAnswer},
        {"program", {"1:erase-forever"}, "Connecting Error!", FailureReason::EraseNeverEnded},
        {"verify", {}, "Verify Error At: 0", FailureReason::ReadBackDiffers},  // the flash is erased
        // The '.' and no 'A': an answer, but not the loader's.
        {"verify", {"1:no-a"}, "Connecting Error33!", FailureReason::WrongAnswer},
        {"program", {"3:silence"}, "Connecting Error 4!", FailureReason::CutOff},
    };
    // Side by side: the erase that never ends takes its 15 s.
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::future<CliRun>> runs;
    for (const HintCase& c : cases) {
        std::vector<std::string> args = {"--no-pacing", "--erase-ms", "0"};
        for (const std::string& fault : c.faults) args.insert(args.end(), {"--fault", fault});
        sims.push_back(std::make_unique<SimProcess>(QELISP_SIM_PATH, args));
        ASSERT_TRUE(sims.back()->started()) << sims.back()->error();
        runs.push_back(std::async(std::launch::async, runCli,
                                  std::vector<std::string>{c.command, "--port", sims.back()->ptyPath()},
                                  std::function<void(ChildProcess&)>{}));
    }
    std::vector<std::string> statuses, hints;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const CliRun run = runs[i].get();
        const std::string prefix = sims[i]->ptyPath() + ": ";
        const std::string expected = prefix + "hint: " + std::string(hintText(cases[i].reason));
        SCOPED_TRACE(std::string(reasonName(cases[i].reason)) + "\n" + run.out + run.err);
        EXPECT_EQ(run.exitCode, 1);
        statuses.push_back(lastStatusLine(run.out));
        EXPECT_EQ(statuses.back().rfind(prefix + cases[i].status, 0), 0u) << statuses.back();
        const auto [hint, count] = hintLine(run.out, prefix);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(hint, expected);
        // Right after the status it explains.
        EXPECT_NE(run.out.find(statuses.back() + "\n" + expected), std::string::npos);
        statuses.back().erase(0, prefix.size());
        hints.push_back(hint.substr(std::min(prefix.size(), hint.size())));
    }
    // Silence and a pulled adapter read alike on the status line; the hint tells them apart.
    EXPECT_EQ(statuses[0], statuses[1]);
    EXPECT_NE(hints[0], hints[1]);
}

}  // namespace
}  // namespace qelisp::test
