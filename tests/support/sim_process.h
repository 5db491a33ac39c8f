#pragma once
// Runs qelisp-sim as a child process for end-to-end tests: starts it, waits
// for its "pty: /dev/pts/N" line, stops it with SIGTERM (SIGKILL if it does
// not end), and hands back its summary line and everything it printed.
#include "tests/support/child_process.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qelisp::test {

// "qelisp-sim: lines L, violations V, bytes written B"
struct SimSummary {
    std::uint64_t lines = 0;
    std::uint64_t violations = 0;
    std::uint64_t bytesWritten = 0;
};

std::optional<SimSummary> parseSimSummary(const std::string& stdoutText);

class SimProcess {
public:
    // Starts `executable` with `args` and waits up to `startTimeout` for the
    // pty line. On failure started() is false, error() says why (with what the
    // process printed), and a test failure is recorded.
    SimProcess(const std::string& executable, const std::vector<std::string>& args,
               std::chrono::milliseconds startTimeout = std::chrono::seconds(5));
    ~SimProcess();  // stops it (SIGTERM) if still running, so it saves its flash

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    const std::string& ptyPath() const { return ptyPath_; }
    pid_t pid() const { return process_.pid(); }
    bool running() { return process_.running(); }

    // SIGTERM, then up to `timeout` for it to end, then SIGKILL. True when it
    // ended without the SIGKILL (or had ended already).
    bool stop(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Waits for the process to end by itself (a hang-up fault,
    // --exit-on-hangup). False when it is still running after `timeout`.
    bool waitForExit(std::chrono::milliseconds timeout) { return process_.waitForExit(timeout); }

    // Valid once it has ended.
    std::optional<SimSummary> summary() const;
    int exitCode() const { return process_.exitCode(); }
    std::string stdoutText() const { return process_.stdoutText(); }
    std::string stderrText() const { return process_.stderrText(); }

private:
    ChildProcess process_;
    bool started_ = false;
    std::string error_;
    std::string ptyPath_;
};

}  // namespace qelisp::test
