#include "cli/run_job.h"

#include "cli/console_view.h"
#include "cli/simulated_instrument.h"
#include "cli/tracing_link.h"
#include "image/firmware_image.h"
#include "state/clock.h"
#include "jobs/job_runner.h"
#include "jobs/program_job.h"
#include "jobs/verify_job.h"
#include "link/console.h"
#include "link/port.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qelisp::cli {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(20);
// As long as a closing window gives a running job.
constexpr auto kCancelGrace = std::chrono::milliseconds(300);

bool succeeded(Command command, const std::string& status) {
    const char* ok = command == Command::Program ? "Data Writed OK!" : "Data Verify OK!";
    return status.rfind(ok, 0) == 0;
}

std::pair<int, int> pageSpan(const FirmwareImage& image) {
    int first = -1;
    int last = -1;
    if (auto start = image.findStartRecord()) {
        image.walk(*start, [&](const ImageRecord& record) {
            int page = static_cast<int>(record.address() >> 12);
            if (first < 0) first = page;
            last = page;
            return true;
        });
    }
    return {first < 0 ? 0 : first, last < 0 ? 0 : last};
}

}  // namespace

int runJob(const Options& options, std::atomic<bool>& interrupted) {
    std::unique_ptr<SimulatedInstrument> instrument;
    std::string portName = options.port;
    if (options.simulate) {
        std::string error;
        instrument = SimulatedInstrument::start({options.simPacing, options.simFlash}, error);
        if (!instrument) {
            std::fprintf(stderr, "qelisp-cli: %s\n", error.c_str());
            return kExitUsage;
        }
        portName = instrument->portName();
    }

    OpenResult opened = openPort(portName, OpenMode::StartUp);
    if (!opened.link) {
        std::fprintf(stderr, "qelisp-cli: cannot open %s\n", opened.message.c_str());
        return kExitUsage;
    }
    std::unique_ptr<TracingLink> tracer;
    SerialLink* link = opened.link.get();
    if (options.trace) {
        tracer = std::make_unique<TracingLink>(*opened.link, stderr);
        link = tracer.get();
    }

    const FirmwareImage& image = embeddedImage();
    const bool terminal = stdoutIsTerminal();
    auto [firstPage, lastPage] = pageSpan(image);
    ConsoleView view(stdout, terminal, firstPage, lastPage);

    JobState state;
    SystemClock clock;
    state.setStatusListener([&](const std::string& text) { view.status(text, state.progress.load()); });
    BeepHook beep = [terminal] {
        if (terminal) std::fputc('\a', stdout);
    };
    JobContext context{Session{link, state, clock}, image, beep};
    JobRunner runner;
    const bool program = options.command == Command::Program;
    runner.start(state, [&] { program ? ProgramJob(context) : VerifyJob(context); });

    while (state.busy.load()) {
        if (interrupted.load() && !state.cancel.load()) {
            state.cancel.store(true);
            auto deadline = std::chrono::steady_clock::now() + kCancelGrace;
            while (state.busy.load() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (state.busy.load()) {
                // Like a closed window: the job had its grace period; the
                // process ends and takes the worker with it.
                view.finish();
                std::fprintf(stderr, "qelisp-cli: interrupted; the job did not stop within 300 ms\n");
                std::fflush(nullptr);
                std::_Exit(kExitJobFailed);
            }
            break;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    runner.join();
    view.finish();

    if (instrument) std::fprintf(stderr, "qelisp-cli: %s\n", instrument->stop().c_str());
    return succeeded(options.command, state.status()) ? kExitOk : kExitJobFailed;
}

}  // namespace qelisp::cli
