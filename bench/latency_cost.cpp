// What a USB-serial adapter's latency timer costs a full programming run:
// the program job against the simulated instrument paced at 115200 8N1 with
// each reply held 0, 1, 4 and 16 ms (qelisp-sim --latency-ms), as an
// adapter holds received bytes for its latency timer. Every line the job
// sends waits for a one-byte answer, so every line pays the latency.
#include "image/firmware_image.h"
#include "jobs/job_context.h"
#include "jobs/program_job.h"
#include "link/port.h"
#include "sim/sim_server.h"
#include "state/clock.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using namespace qelisp;

struct Figures {
    double elapsed = 0;
    std::uint64_t lines = 0;
    std::string status;
};

Figures programWithLatency(std::uint32_t latencyMs) {
    Figures f;
    sim::SimOptions options;
    options.eraseMs = 0;
    options.latencyMs = latencyMs;
    options.log = [](const std::string&) {};
    std::string error;
    auto server = sim::SimServer::create(options, error);
    if (!server) {
        f.status = error;
        return f;
    }
    std::thread simThread([&] { server->run(); });
    {
        auto opened = openPort(server->ptyPath());
        if (opened.link) {
            JobState state;
            SystemClock clock;
            JobContext context{Session{opened.link.get(), state, clock}, embeddedImage(), nullptr};
            state.busy = true;
            const auto t0 = std::chrono::steady_clock::now();
            ProgramJob(context);
            f.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            f.status = state.status();
        } else {
            f.status = opened.message;
        }
    }
    server->stop();
    simThread.join();
    f.lines = server->stats().lines;
    return f;
}

}  // namespace

int main() {
    std::printf("program run of the built-in image at 115200 8N1, erase time 0, reply held by the adapter\n\n");
    std::printf("| latency | program run | added | per line | status |\n|---|---|---|---|---|\n");
    double base = 0;
    for (std::uint32_t ms : {0u, 1u, 4u, 16u}) {
        const Figures f = programWithLatency(ms);
        if (ms == 0) base = f.elapsed;
        const double added = f.elapsed - base;
        // The handshake's echo is one more reply.
        const double perLine = f.lines ? 1000.0 * added / static_cast<double>(f.lines + 1) : 0;
        std::printf("| %2u ms | %6.1f s | %+6.1f s | %5.2f ms | %s |\n", ms, f.elapsed, added, perLine,
                    f.status.c_str());
        std::fflush(stdout);
    }
    return 0;
}
