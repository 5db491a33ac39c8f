// Several instruments at once: programs one simulated instrument with
// qelisp-cli, then four at once with one qelisp-cli, each instrument paced at
// 115200 8N1, and prints the elapsed times, their ratio and the CPU time the
// console program used (user + system, from the kernel's account of it).
//
// Target: four at once within 1.05 x the time of one.
#include "sim/sim_server.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace qelisp;

struct Run {
    double elapsed = 0;
    double cpu = 0;
    int exitCode = -1;
};

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// qelisp-cli with `args`, its output to /dev/null; waits for it.
Run runCli(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = QELISP_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Run run;
    pid_t pid = -1;
    const auto t0 = std::chrono::steady_clock::now();
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class Instruments {
public:
    explicit Instruments(int n) {
        for (int i = 0; i < n; ++i) {
            sim::SimOptions options;  // paced, a 2 s erase, as the instrument
            options.log = [](const std::string&) {};
            std::string error;
            auto server = sim::SimServer::create(options, error);
            if (!server) {
                std::fprintf(stderr, "parallel_program: %s\n", error.c_str());
                continue;
            }
            threads_.emplace_back([s = server.get()] { s->run(); });
            servers_.push_back(std::move(server));
        }
    }
    ~Instruments() {
        for (auto& server : servers_) server->stop();
        for (auto& thread : threads_) thread.join();
    }
    std::vector<std::string> portArgs() const {
        std::vector<std::string> args;
        for (const auto& server : servers_) args.insert(args.end(), {"--port", server->ptyPath()});
        return args;
    }
    std::uint64_t violations() const {
        std::uint64_t n = 0;
        for (const auto& server : servers_) n += server->stats().violations;
        return n;
    }
    std::size_t size() const { return servers_.size(); }

private:
    std::vector<std::unique_ptr<sim::SimServer>> servers_;
    std::vector<std::thread> threads_;
};

void report(const char* name, const Run& run) {
    std::printf("%-12s elapsed %7.2f s   qelisp-cli cpu %6.3f s (%.2f %% of elapsed)   exit %d\n", name, run.elapsed,
                run.cpu, 100.0 * run.cpu / run.elapsed, run.exitCode);
}

}  // namespace

int main() {
    std::printf("qelisp-cli program, paced simulated instruments (115200 8N1, 2 s erase)\n");
    Run one;
    {
        Instruments instruments(1);
        std::vector<std::string> args = {"program"};
        for (const auto& a : instruments.portArgs()) args.push_back(a);
        one = runCli(args);
        if (instruments.violations() != 0) std::printf("the loader saw violations\n");
    }
    report("one", one);
    Run four;
    {
        Instruments instruments(4);
        if (instruments.size() != 4) return 1;
        std::vector<std::string> args = {"program"};
        for (const auto& a : instruments.portArgs()) args.push_back(a);
        four = runCli(args);
        if (instruments.violations() != 0) std::printf("the loader saw violations\n");
    }
    report("four at once", four);
    const double ratio = four.elapsed / one.elapsed;
    std::printf("ratio %.4f (target at most 1.05): %s\n", ratio,
                ratio <= 1.05 && one.exitCode == 0 && four.exitCode == 0 ? "met" : "MISSED");
    return 0;
}
