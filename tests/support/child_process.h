#pragma once
// A program the tests run as a child process, its stdout and stderr going to
// files that can be read while it runs.
#include "tests/support/temp_dir.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qelisp::test {

class ChildProcess {
public:
    // Starts `executable` with `args`; stdin is /dev/null. On failure
    // started() is false and error() says why.
    ChildProcess(const std::string& executable, const std::vector<std::string>& args);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();  // SIGKILL if still running

    bool started() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    pid_t pid() const { return pid_; }
    bool running();

    void signal(int number);
    // False when it is still running after `timeout`.
    bool waitForExit(std::chrono::milliseconds timeout);
    // SIGTERM, up to `timeout`, then SIGKILL. True when it ended without the
    // SIGKILL (or had ended already).
    bool stop(std::chrono::milliseconds timeout);

    // The first whole line of stdout for which `match` holds, waiting up to
    // `timeout` while the process runs; nullopt when none came.
    std::optional<std::string> waitForLine(const std::function<bool(const std::string&)>& match,
                                           std::chrono::milliseconds timeout);

    int exitCode() const;  // -1 when killed by a signal or still running
    std::string stdoutText() const;
    std::string stderrText() const;

private:
    TempDir output_;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string error_;
};

}  // namespace qelisp::test
