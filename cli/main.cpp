// qelisp-cli: the console front end for service benches and scripts.
#include "cli/cli_options.h"
#include "cli/ports/ports_command.h"
#include "cli/records/image_info.h"
#include "cli/run/run_job.h"
#include "cli/run/stop_signals.h"
#include "image/firmware_image.h"
#include "link/standard_descriptors.h"
#include "program_version.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace qelisp::cli;
    // Before any port is opened: with standard output closed, the port would
    // take its number and the progress display would go to the instrument.
    if (!qelisp::ensureStandardDescriptors()) return kExitUsage;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::optional<std::string> defaultPort;
    if (const char* port = std::getenv(kPortVariable); port != nullptr && *port != '\0') defaultPort = port;
    ParseResult parsed = parseOptions(args, defaultPort);
    if (!parsed.help.empty()) {
        std::fputs(parsed.help.c_str(), stdout);
        return kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "qelisp-cli: %s\n", parsed.error.c_str());
        return kExitUsage;
    }
    const Options& options = *parsed.options;
    switch (options.command) {
        case Command::Help: std::fputs(usageText().c_str(), stdout); return kExitOk;
        case Command::Ports: return runPortsCommand(options.json);
        case Command::Version:
            std::fputs(formatVersion(QELISP_PROGRAM_VERSION, summarize(qelisp::embeddedImage())).c_str(), stdout);
            return kExitOk;
        case Command::Info:
            std::fputs(formatSummary(summarize(qelisp::embeddedImage())).c_str(), stdout);
            return kExitOk;
        case Command::Program:
        case Command::Verify: {
            static std::atomic<bool> interrupted{false};
            catchStopSignals(interrupted);
            return runJob(options, interrupted);
        }
    }
    return kExitUsage;
}
