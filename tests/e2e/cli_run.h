#pragma once
// qelisp-cli run as a user runs it, to its end, with what it printed.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qelisp::test {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `whileRunning` gets the process before it is waited for.
inline CliRun runCli(const std::vector<std::string>& args,
                     const std::function<void(ChildProcess&)>& whileRunning = {}) {
    ChildProcess process(QELISP_CLI_PATH, args);
    EXPECT_TRUE(process.started()) << process.error();
    if (whileRunning) whileRunning(process);
    EXPECT_TRUE(process.waitForExit(std::chrono::seconds(60))) << "qelisp-cli did not end";
    return CliRun{process.exitCode(), process.stdoutText(), process.stderrText()};
}

inline std::string lastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

}  // namespace qelisp::test
