#pragma once
// qelisp-cli run as a user runs it, to its end, with what it printed.
#include "tests/support/child_process.h"
#include "tests/support/line_timing.h"

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
    ChildProcess process(QELISP_CLI_PATH, cliArguments(args));
    EXPECT_TRUE(process.started()) << process.error();
    if (whileRunning) whileRunning(process);
    EXPECT_TRUE(process.waitForExit(runLimit())) << "qelisp-cli did not end";
    return CliRun{process.exitCode(), process.stdoutText(), process.stderrText()};
}

// The last line that is a job's status: the hint line that follows a
// failure's text is not one.
inline std::string lastStatusLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    for (;;) {
        const std::size_t start = trimmed.find_last_of('\n') + 1;
        const std::string line = trimmed.substr(start);
        const bool hint = line.rfind("hint: ", 0) == 0 || line.find(": hint: ") != std::string::npos;
        if (!hint || start == 0) return line;
        trimmed.resize(start - 1);
    }
}

}  // namespace qelisp::test
