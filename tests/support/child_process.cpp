#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace qelisp::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPoll = std::chrono::milliseconds(5);

// Sleeps until `pid` ends or `timeout` passes. Dozens of children wait side
// by side in the wire suites: a process descriptor wakes each once, where
// waking every few milliseconds to ask kept two cores busy enough to starve
// the simulators' answers past the read time-out.
void sleepUntilEnded(pid_t pid, std::chrono::milliseconds timeout) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(kPoll)));
        return;
    }
    pollfd pfd{fd, POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(timeout.count()));
    ::close(fd);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& executable, const std::vector<std::string>& args) {
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
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        waitForExit(std::chrono::seconds(5));
    }
}

bool ChildProcess::running() { return pid_ > 0 && !waitForExit(std::chrono::milliseconds(0)); }

void ChildProcess::signal(int number) {
    if (pid_ > 0 && !exited_) ::kill(pid_, number);
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    const auto deadline = Clock::now() + timeout;
    while (!exited_) {
        const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) {
            exited_ = true;
        } else if (const auto now = Clock::now(); now >= deadline) {
            return false;
        } else {
            sleepUntilEnded(pid_, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
    }
    return true;
}

bool ChildProcess::stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    if (exited_) return true;
    ::kill(pid_, SIGTERM);
    if (waitForExit(timeout)) return true;
    ::kill(pid_, SIGKILL);
    waitForExit(std::chrono::seconds(5));
    return false;
}

std::optional<std::string> ChildProcess::waitForLine(const std::function<bool(const std::string&)>& match,
                                                     std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t checked = 0;  // bytes of whole lines looked at already
    for (;;) {
        const bool ended = !running();
        const std::string text = stdoutText();
        for (std::size_t end; (end = text.find('\n', checked)) != std::string::npos; checked = end + 1) {
            std::string line = text.substr(checked, end - checked);
            if (match(line)) return line;
        }
        if (ended || Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(kPoll);
    }
}

int ChildProcess::exitCode() const {
    if (!exited_ || !WIFEXITED(status_)) return -1;
    return WEXITSTATUS(status_);
}

std::string ChildProcess::stdoutText() const { return readFile(output_ / "stdout"); }

std::string ChildProcess::stderrText() const { return readFile(output_ / "stderr"); }

}  // namespace qelisp::test
