#include "cli/cli_options.h"

#include <algorithm>

namespace qelisp::cli {

namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (!item.empty()) items.push_back(std::move(item));
        if (comma == std::string::npos) return items;
        from = comma + 1;
    }
}

}  // namespace

const char* usageText() {
    return "usage: qelisp-cli ports [--json]\n"
           "       qelisp-cli info\n"
           "       qelisp-cli program (--port NAME... | --port auto | --simulate) [--trace] [--all-lines]\n"
           "       qelisp-cli verify  (--port NAME... | --port auto | --simulate) [--trace] [--all-lines]\n"
           "       qelisp-cli --version\n"
           "\n"
           "  ports             list the serial ports that can be opened now, with their descriptions\n"
           "                    (--json: as JSON, with maker and serial number)\n"
           "  info              model, version and contents of the built-in firmware\n"
           "  program           write the built-in firmware into the instrument\n"
           "  verify            read the instrument's flash back and compare\n"
           "  --port NAME       the port the instrument is on (COM3, ttyUSB0, /dev/pts/4); give it\n"
           "                    once per instrument to update several side by side\n"
           "  --port auto       greet every port that can be opened and use the one instrument\n"
           "                    that answers\n"
           "  --simulate        use a simulated instrument started for this run\n"
           "  --no-pacing       with --simulate: answer at once instead of at 115200 baud\n"
           "  --sim-flash FILE  with --simulate: load the flash from FILE if it exists, save it back\n"
           "  --trace           print every line sent and every byte received to stderr\n"
           "  --all-lines       into a file or pipe: every status line, not one address per 4 KB page\n"
           "  --version         this program's version and the built-in firmware's model,\n"
           "                    version and SHA-256\n"
           "\n"
           "exit status: 0 every instrument succeeded, 1 a job failed, 2 usage error or a port\n"
           "not usable (with several ports the others still run; the summary says which)\n";
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
        if (options.command == Command::Ports && arg == "--json") {
            options.json = true;
            continue;
        }
        if (!isJob) return {std::nullopt, "'" + command + "' takes no options"};
        if (arg == "--port") {
            std::string port;
            if (!value(port)) return {std::nullopt, "--port needs a port name"};
            if (std::find(options.ports.begin(), options.ports.end(), port) != options.ports.end()) {
                return {std::nullopt, "--port " + port + " is given twice"};
            }
            options.ports.push_back(std::move(port));
        } else if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg == "--no-pacing") {
            options.simPacing = false;
        } else if (arg == "--sim-flash") {
            if (!value(options.simFlash)) return {std::nullopt, "--sim-flash needs a file name"};
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--all-lines") {
            options.allLines = true;
        } else if (arg == "--auto-candidates") {
            std::string list;
            if (!value(list)) return {std::nullopt, "--auto-candidates needs a list of ports"};
            options.autoCandidates = splitList(list);
        } else {
            return {std::nullopt, "unknown option '" + arg + "'"};
        }
    }
    if (isJob) {
        if (options.simulate == !options.ports.empty()) {
            return {std::nullopt, "'" + command + "' needs either --port NAME or --simulate"};
        }
        if (!options.simulate && (!options.simPacing || !options.simFlash.empty())) {
            return {std::nullopt, "--no-pacing and --sim-flash go with --simulate"};
        }
        const bool autoAmongOthers = options.ports.size() > 1 && std::find(options.ports.begin(), options.ports.end(),
                                                                           kAutoPort) != options.ports.end();
        if (autoAmongOthers) return {std::nullopt, "--port auto finds one instrument; it goes alone"};
        if (options.autoCandidates && !options.autoPort()) {
            return {std::nullopt, "--auto-candidates goes with --port auto"};
        }
    }
    return {options, {}};
}

}  // namespace qelisp::cli
