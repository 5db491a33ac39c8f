#pragma once
// qelisp-cli started with its standard descriptors as a test sets them up
// (closed, a pipe nobody reads, /dev/full), and waited for with a bound.
#include "tests/support/line_timing.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qelisp::test {

inline constexpr int kClosed = -1;

class SpawnedCli {
public:
    // fds[i] becomes the child's descriptor i; kClosed leaves it closed.
    SpawnedCli(const std::vector<std::string>& args, std::array<int, 3> fds) {
        std::vector<std::string> text{QELISP_CLI_PATH};
        const std::vector<std::string> taken = cliArguments(args);
        text.insert(text.end(), taken.begin(), taken.end());
        std::vector<char*> argv;
        for (auto& a : text) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        for (int fd = 0; fd < 3; ++fd) {
            if (fds[fd] == kClosed) {
                ::posix_spawn_file_actions_addclose(&actions, fd);
            } else {
                ::posix_spawn_file_actions_adddup2(&actions, fds[fd], fd);
            }
        }
        if (::posix_spawn(&pid_, QELISP_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~SpawnedCli() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SpawnedCli(const SpawnedCli&) = delete;
    SpawnedCli& operator=(const SpawnedCli&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) { ::kill(pid_, number); }

    // The exit status (-1: ended by a signal); nullopt while it runs past `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_ && pid_ > 0) {
            int raw = 0;
            const pid_t r = ::waitpid(pid_, &raw, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            } else if ((r < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A pipe whose ends the child gets only by dup2, so that closing the
// test's read end leaves no reader behind.
struct TestPipe {
    int read = -1;
    int write = -1;
    TestPipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~TestPipe() {
        closeRead();
        if (write >= 0) ::close(write);
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    // Full from the start, so the first write blocks: a reader that stalled.
    void fill() {
        ::fcntl(write, F_SETPIPE_SZ, 4096);
        const int flags = ::fcntl(write, F_GETFL);
        ::fcntl(write, F_SETFL, flags | O_NONBLOCK);
        const std::string block(4096, 'x');
        while (::write(write, block.data(), block.size()) > 0) {
        }
        ::fcntl(write, F_SETFL, flags);
    }
};

}  // namespace qelisp::test
