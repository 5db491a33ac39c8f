// qelisp-sim: the instrument's loader on a pseudo-terminal, for tests, demos
// and the Wine runs of the Windows program.
#include "link/standard_descriptors.h"
#include "sim/command_line.h"
#include "sim/flash_file.h"
#include "sim/sim_server.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::atomic<qelisp::sim::SimServer*> g_server{nullptr};

extern "C" void onSignal(int) {
    if (auto* server = g_server.load()) server->stop();
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qelisp::sim;
    // Before the pty is opened: it must never become standard output.
    if (!qelisp::ensureStandardDescriptors()) return 1;
    const CommandLineParse parse = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parse.ok) {
        std::fprintf(stderr, "qelisp-sim: %s\n%s", parse.error.c_str(), usageText());
        return 2;
    }
    const CommandLine& cl = parse.commandLine;
    if (cl.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }

    std::string error;
    auto server = SimServer::create(cl.options, error);
    if (!server) {
        std::fprintf(stderr, "qelisp-sim: %s\n", error.c_str());
        return 1;
    }
    g_server = server.get();
    installSignalHandlers();

    std::printf("pty: %s\n", server->ptyPath().c_str());
    std::fflush(stdout);

    server->run();

    int status = server->endReason() == SimServer::EndReason::PortError ? 1 : 0;
    if (!cl.savePath.empty() && !writeFlashFile(cl.savePath, server->flashCopy(), error)) {
        std::fprintf(stderr, "qelisp-sim: %s\n", error.c_str());
        status = 1;
    }
    const SimStats stats = server->stats();
    std::printf("qelisp-sim: lines %llu, violations %llu, bytes written %llu\n",
                static_cast<unsigned long long>(stats.lines), static_cast<unsigned long long>(stats.violations),
                static_cast<unsigned long long>(stats.bytesWritten));
    std::fflush(stdout);
    g_server = nullptr;
    return status;
}
