#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace qelisp::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPtyPrefix = "pty: ";

void appendFrom(int& fd, std::string& text) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        ::close(fd);
        fd = -1;
    }
}

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
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        ADD_FAILURE() << "qelisp-sim not started: " << error_;
        return;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        ADD_FAILURE() << "qelisp-sim not started: " << error_;
        return;
    }

    std::vector<std::string> argvText{executable};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    const int rc = ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        error_ = "cannot start " + executable + ": " + std::strerror(rc);
        ADD_FAILURE() << "qelisp-sim not started: " << error_;
        return;
    }
    reader_ = std::thread([this, out = outPipe[0], err = errPipe[0]] { readOutput(out, err); });

    // The first line on stdout names the pty.
    std::unique_lock lock(mutex_);
    const bool gotLine = changed_.wait_for(lock, startTimeout, [&] {
        return out_.find('\n') != std::string::npos || outputClosed_;
    });
    const auto newline = out_.find('\n');
    if (gotLine && newline != std::string::npos && out_.rfind(kPtyPrefix, 0) == 0) {
        ptyPath_ = out_.substr(std::strlen(kPtyPrefix), newline - std::strlen(kPtyPrefix));
        started_ = true;
        return;
    }
    error_ = gotLine ? "first line on stdout is not 'pty: PATH'"
                     : "no 'pty: PATH' line within " + std::to_string(startTimeout.count()) + " ms";
    error_ += "; stdout: '" + out_ + "', stderr: '" + err_ + "'";
    lock.unlock();
    ADD_FAILURE() << "qelisp-sim (" << executable << ") not started: " << error_;
}

SimProcess::~SimProcess() {
    if (running()) stop();
    if (reader_.joinable()) reader_.join();
}

void SimProcess::readOutput(int outFd, int errFd) {
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        std::lock_guard lock(mutex_);
        if (fds[0].revents) appendFrom(outFd, out_);
        if (fds[1].revents) appendFrom(errFd, err_);
        changed_.notify_all();
    }
    if (outFd >= 0) ::close(outFd);
    if (errFd >= 0) ::close(errFd);
    std::lock_guard lock(mutex_);
    outputClosed_ = true;
    changed_.notify_all();
}

bool SimProcess::reap(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    if (exited_) return true;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) break;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    exited_ = true;
    // Its pipes close with it; take the last of the output.
    if (reader_.joinable()) reader_.join();
    return true;
}

bool SimProcess::stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    if (exited_) return true;
    ::kill(pid_, SIGTERM);
    if (reap(timeout)) return true;
    ::kill(pid_, SIGKILL);
    reap(std::chrono::seconds(5));
    error_ = "qelisp-sim did not end within " + std::to_string(timeout.count()) + " ms of SIGTERM; killed";
    return false;
}

bool SimProcess::waitForExit(std::chrono::milliseconds timeout) { return reap(timeout); }

std::optional<SimSummary> SimProcess::summary() const { return parseSimSummary(stdoutText()); }

int SimProcess::exitCode() const {
    if (!exited_ || !WIFEXITED(status_)) return -1;
    return WEXITSTATUS(status_);
}

std::string SimProcess::stdoutText() const {
    std::lock_guard lock(mutex_);
    return out_;
}

std::string SimProcess::stderrText() const {
    std::lock_guard lock(mutex_);
    return err_;
}

}  // namespace qelisp::test
