#pragma once
// Runs qelisp-sim as a child process for end-to-end tests: starts it, waits
// for its "pty: /dev/pts/N" line, stops it with SIGTERM (SIGKILL if it does
// not end), and hands back its summary line and everything it printed.
#include "tests/support/temp_dir.h"

#include <sys/types.h>

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
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();  // stops it if still running

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    const std::string& ptyPath() const { return ptyPath_; }
    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !exited_; }

    // SIGTERM, then up to `timeout` for it to end, then SIGKILL. True when it
    // ended without the SIGKILL (or had ended already).
    bool stop(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Waits for the process to end by itself (a hang-up fault,
    // --exit-on-hangup). False when it is still running after `timeout`.
    bool waitForExit(std::chrono::milliseconds timeout);

    // Valid once it has ended.
    std::optional<SimSummary> summary() const;
    int exitCode() const;       // -1 when killed by a signal or still running
    std::string stdoutText() const;
    std::string stderrText() const;

private:
    TempDir output_;  // its stdout and stderr, as files
    pid_t pid_ = -1;
    bool started_ = false;
    bool exited_ = false;
    int status_ = 0;
    std::string error_;
    std::string ptyPath_;
};

}  // namespace qelisp::test
