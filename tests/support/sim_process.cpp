#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

extern char** environ;

namespace qelisp::test {
namespace {

using Clock = std::chrono::steady_clock;

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
                       std::chrono::milliseconds startTimeout) {
    std::vector<std::string> argvText{executable};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string out = (output_ / "stdout").string();
    const std::string err = (output_ / "stderr").string();
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        error_ = "cannot start " + executable + ": " + std::strerror(rc);
        ADD_FAILURE() << "qelisp-sim not started: " << error_;
        return;
    }

    // The first line on stdout names the pty.
    const auto deadline = Clock::now() + startTimeout;
    std::string text;
    while ((text = stdoutText()).find('\n') == std::string::npos && !waitForExit(std::chrono::milliseconds(0)) &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto newline = text.find('\n');
    if (newline != std::string::npos && text.rfind(kPtyPrefix, 0) == 0) {
        ptyPath_ = text.substr(std::strlen(kPtyPrefix), newline - std::strlen(kPtyPrefix));
        started_ = true;
        return;
    }
    error_ = newline != std::string::npos || exited_
                 ? "first line on stdout is not 'pty: PATH'"
                 : "no 'pty: PATH' line within " + std::to_string(startTimeout.count()) + " ms";
    error_ += "; stdout: '" + text + "', stderr: '" + stderrText() + "'";
    ADD_FAILURE() << "qelisp-sim (" << executable << ") not started: " << error_;
}

SimProcess::~SimProcess() {
    if (running()) stop();
}

bool SimProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    const auto deadline = Clock::now() + timeout;
    while (!exited_) {
        const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) {
            exited_ = true;
        } else if (Clock::now() >= deadline) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return true;
}

bool SimProcess::stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    if (exited_) return true;
    ::kill(pid_, SIGTERM);
    if (waitForExit(timeout)) return true;
    ::kill(pid_, SIGKILL);
    waitForExit(std::chrono::seconds(5));
    error_ = "qelisp-sim did not end within " + std::to_string(timeout.count()) + " ms of SIGTERM; killed";
    return false;
}

std::optional<SimSummary> SimProcess::summary() const { return parseSimSummary(stdoutText()); }

int SimProcess::exitCode() const {
    if (!exited_ || !WIFEXITED(status_)) return -1;
    return WEXITSTATUS(status_);
}

std::string SimProcess::stdoutText() const { return readFile(output_ / "stdout"); }

std::string SimProcess::stderrText() const { return readFile(output_ / "stderr"); }

}  // namespace qelisp::test
