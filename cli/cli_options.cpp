#include "cli/cli_options.h"

namespace qelisp::cli {

const char* usageText() {
    return "usage: qelisp-cli ports\n"
           "       qelisp-cli info\n"
           "       qelisp-cli program (--port NAME | --simulate) [--trace]\n"
           "       qelisp-cli verify  (--port NAME | --simulate) [--trace]\n"
           "       qelisp-cli --version\n"
           "\n"
           "  ports             list the serial ports that can be opened now\n"
           "  info              model, version and contents of the built-in firmware\n"
           "  program           write the built-in firmware into the instrument\n"
           "  verify            read the instrument's flash back and compare\n"
           "  --port NAME       the port the instrument is on (COM3, ttyUSB0, /dev/pts/4)\n"
           "  --simulate        use a simulated instrument started for this run\n"
           "  --no-pacing       with --simulate: answer at once instead of at 115200 baud\n"
           "  --sim-flash FILE  with --simulate: load the flash from FILE if it exists, save it back\n"
           "  --trace           print every line sent and every byte received to stderr\n"
           "  --version         this program's version and the built-in firmware's model,\n"
           "                    version and SHA-256\n"
           "\n"
           "exit status: 0 success, 1 the job failed, 2 usage error or port not usable\n";
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    if (args.empty()) return {std::nullopt, "no command given"};
    Options options;
    const std::string& command = args[0];
    if (command == "ports") {
        options.command = Command::Ports;
    } else if (command == "info") {
        options.command = Command::Info;
    } else if (command == "program") {
        options.command = Command::Program;
    } else if (command == "verify") {
        options.command = Command::Verify;
    } else if (command == "help" || command == "--help" || command == "-h") {
        options.command = Command::Help;
        return {options, {}};
    } else if (command == "--version") {
        options.command = Command::Version;
    } else {
        return {std::nullopt, "unknown command '" + command + "'"};
    }

    const bool isJob = options.command == Command::Program || options.command == Command::Verify;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            into = args[++i];
            return true;
        };
        if (!isJob) return {std::nullopt, "'" + command + "' takes no options"};
        if (arg == "--port") {
            if (!value(options.port)) return {std::nullopt, "--port needs a port name"};
        } else if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg == "--no-pacing") {
            options.simPacing = false;
        } else if (arg == "--sim-flash") {
            if (!value(options.simFlash)) return {std::nullopt, "--sim-flash needs a file name"};
        } else if (arg == "--trace") {
            options.trace = true;
        } else {
            return {std::nullopt, "unknown option '" + arg + "'"};
        }
    }
    if (isJob) {
        if (options.simulate == !options.port.empty()) {
            return {std::nullopt, "'" + command + "' needs either --port NAME or --simulate"};
        }
        if (!options.simulate && (!options.simPacing || !options.simFlash.empty())) {
            return {std::nullopt, "--no-pacing and --sim-flash go with --simulate"};
        }
    }
    return {options, {}};
}

}  // namespace qelisp::cli
