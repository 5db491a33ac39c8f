#include "tests/support/sim_process.h"

#include "tests/support/line_timing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace qelisp::test {
namespace {

constexpr const char* kPtyPrefix = "pty: ";

}  // namespace

std::optional<SimSummary> parseSimSummary(const std::string& stdoutText) {
    const auto at = stdoutText.rfind("qelisp-sim: lines ");
    if (at == std::string::npos) return std::nullopt;
    unsigned long long lines = 0, violations = 0, bytes = 0;
    if (std::sscanf(stdoutText.c_str() + at, "qelisp-sim: lines %llu, violations %llu, bytes written %llu", &lines,
                    &violations, &bytes) != 3) {
        return std::nullopt;
    }
    return SimSummary{lines, violations, bytes};
}

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& args,
                       std::chrono::milliseconds startTimeout)
    : process_(executable, simArguments(args)) {
    if (!process_.started()) {
        error_ = process_.error();
        ADD_FAILURE() << "qelisp-sim not started: " << error_;
        return;
    }
    // The first line on stdout names the pty.
    auto first = process_.waitForLine([](const std::string&) { return true; }, startTimeout);
    if (first && first->rfind(kPtyPrefix, 0) == 0) {
        ptyPath_ = first->substr(std::strlen(kPtyPrefix));
        started_ = true;
        return;
    }
    error_ = first || !process_.running()
                 ? "first line on stdout is not 'pty: PATH'"
                 : "no 'pty: PATH' line within " + std::to_string(startTimeout.count()) + " ms";
    error_ += "; stdout: '" + stdoutText() + "', stderr: '" + stderrText() + "'";
    ADD_FAILURE() << "qelisp-sim (" << executable << ") not started: " << error_;
}

SimProcess::~SimProcess() {
    if (process_.running()) stop();
}

bool SimProcess::stop(std::chrono::milliseconds timeout) {
    if (process_.stop(timeout)) return true;
    error_ = "qelisp-sim did not end within " + std::to_string(timeout.count()) + " ms of SIGTERM; killed";
    return false;
}

std::optional<SimSummary> SimProcess::summary() const { return parseSimSummary(stdoutText()); }

}  // namespace qelisp::test
