#include "cli/cli_options.h"

#include "link/net/network_port_name.h"
#include "link/printable_name.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <memory>

namespace qelisp::cli {

namespace {

constexpr const char* kExitStatusText =
    "exit status: 0 every job on every port succeeded; 1 an instrument failed, whatever else\n"
    "happened (a port that could not be used counts as one; the others still run); 2 the\n"
    "command line is wrong and nothing ran; 130 Ctrl-C, 143\n"
    "SIGTERM, 129 SIGHUP.";

const std::map<std::string, LineTiming> kLineTimings{
    {"auto", LineTiming::Auto}, {"wire", LineTiming::Wire}, {"pty", LineTiming::Pty}};

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

// The command line as CLI11 reads it, filling `options` and `autoList`.
struct Parser {
    CLI::App app{
        "QelIsp's console program: writes the built-in firmware into a surveying instrument, or reads it "
        "back and compares.",
        "qelisp-cli"};
    CLI::App* ports = nullptr;
    CLI::App* info = nullptr;
    CLI::App* program = nullptr;
    CLI::App* verify = nullptr;
    CLI::App* help = nullptr;
    bool version = false;
    bool noPacing = false;
    std::string autoList;
    std::string lineTiming = "auto";
    std::string helpTopic;  // `help COMMAND`

    explicit Parser(Options& o) {
        app.footer(kExitStatusText);
        app.require_subcommand(0, 1);
        app.add_flag("-V,--version", version,
                     "this program's version and the built-in firmware's model, version and SHA-256");
        ports = app.add_subcommand("ports", "list the serial ports found, and whether and why not each can be opened");
        ports->add_flag("--json", o.json, "as JSON, with maker and serial number");
        info = app.add_subcommand("info", "model, version and contents of the built-in firmware");
        program = app.add_subcommand("program", "write the built-in firmware into the instrument");
        verify = app.add_subcommand("verify", "read the instrument's flash back and compare");
        help = app.add_subcommand("help", "this text; 'help COMMAND': that command's");
        help->add_option("command", helpTopic)->type_name("COMMAND");
        for (CLI::App* job : {program, verify}) {
            job->footer(kExitStatusText);
            job->add_option("-p,--port", o.ports,
                            "the port the instrument is on (COM3, ttyUSB0, /dev/pts/4, or a serial port server's "
                            "rfc2217://HOST:PORT or tcp://HOST:PORT); once per instrument to update several side "
                            "by side; 'auto': the one port an instrument answers on")
                ->type_name("PORT")
                ->expected(1)
                ->delimiter(',')
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
            job->add_option("--wait", o.waitSeconds,
                            "wait up to SECONDS for the port to appear and the instrument to answer, then run")
                ->type_name("SECONDS")
                ->check(CLI::Range(1, kMaxWaitSeconds));
            job->add_flag("--json", o.json, "JSON Lines on standard output instead of text: one event a line");
            job->add_option("--log", o.logPath, "append one JSON line per finished job to FILE, a regular file")
                ->type_name("FILE");
            job->add_flag("-q,--quiet", o.quiet, "only each job's result, its hint and the summary");
            job->add_flag("-v,--trace", o.trace, "print every line sent and every byte received to standard error");
            job->add_flag("--all-lines", o.allLines,
                          "into a file or pipe: every status line, not one address per 4 KB page");
            job->add_option("--line-timing", lineTiming,
                            "auto: a line takes its time on the wire at 115200 baud, and a byte that comes "
                            "sooner answers nothing, unless the port is a pseudo-terminal; wire: so on every "
                            "port (a paced virtual port); pty: on none")
                ->type_name("auto|wire|pty")
                ->check(CLI::IsMember(kLineTimings).description(""));
            job->add_flag("--simulate", o.simulate, "use a simulated instrument started for this run");
            job->add_flag("--no-pacing", noPacing, "with --simulate: answer at once instead of at 115200 baud");
            job->add_option("--sim-flash", o.simFlash,
                            "with --simulate: load the flash from FILE if it exists, save "
                            "it back")
                ->type_name("FILE");
            job->add_option("--auto-candidates", autoList)->group("");
        }
        program->add_flag("--verify", o.thenVerify, "after a successful programming run, verify it");
    }

    // What `command` means once CLI11 has read the line.
    Command command() const {
        if (ports->parsed()) return Command::Ports;
        if (info->parsed()) return Command::Info;
        if (program->parsed()) return Command::Program;
        if (verify->parsed()) return Command::Verify;
        if (version) return Command::Version;
        return Command::Help;
    }
};

// The rules CLI11 cannot state: which options go together.
std::string checkJob(const Options& o, const std::string& name) {
    if (o.simulate && !o.ports.empty()) {
        return "--port " + printableName(o.ports[0]) + " and --simulate name two instruments; choose one";
    }
    if (!o.simulate && o.ports.empty()) {
        return "'" + name + "' needs either --port PORT (or " + kPortVariable + ") or --simulate";
    }
    if (!o.simulate && (!o.simPacing || !o.simFlash.empty())) return "--no-pacing and --sim-flash go with --simulate";
    if (o.simulate && o.waitSeconds > 0) return "--wait goes with --port";
    if (o.simulate && !o.simPacing && o.lineTiming == LineTiming::Wire) {
        return "--line-timing wire needs an instrument that keeps wire time: leave out --no-pacing";
    }
    for (auto it = o.ports.begin(); it != o.ports.end(); ++it) {
        if (it->empty()) return "--port needs a port name";
        // A server's name that cannot be connected to is the command line's
        // fault: nothing is tried.
        if (std::string error; isNetworkPortName(*it) && !parseNetworkPortName(*it, error)) {
            return "--port " + printableName(*it) + ": " + error;
        }
        if (std::find(it + 1, o.ports.end(), *it) != o.ports.end()) return "--port " + *it + " is given twice";
    }
    if (o.ports.size() > 1 && std::find(o.ports.begin(), o.ports.end(), kAutoPort) != o.ports.end()) {
        return "--port auto finds one instrument; it goes alone";
    }
    if (o.autoCandidates && !o.autoPort()) return "--auto-candidates goes with --port auto";
    if (o.json && o.trace) return "--json and --trace: the trace is for eyes; choose one";
    if (o.quiet && o.allLines) return "--quiet and --all-lines ask for opposite things; choose one";
    return {};
}

}  // namespace

std::string usageText() {
    Options ignored;
    Parser parser(ignored);
    return parser.app.help();
}

namespace {

// A command's help, naming it as the user types it.
std::string commandHelp(CLI::App& sub) {
    std::string text = sub.help();
    const std::string usage = "Usage: " + sub.get_name();
    if (text.find(usage) != std::string::npos) {
        text.replace(text.find(usage), usage.size(), "Usage: qelisp-cli " + sub.get_name());
    }
    return text;
}

// What CLI11 could not place, said as the user wrote it: the first word
// that is an unknown option or command, in the order given.
std::string notUnderstood(const std::vector<std::string>& args, const std::vector<std::string>& extras,
                          bool commandGiven) {
    for (const std::string& arg : args) {
        if (std::find(extras.begin(), extras.end(), arg) == extras.end()) continue;
        if (arg.size() > 1 && arg[0] == '-') return "unknown option " + printableName(arg);
        if (!commandGiven) return "unknown command '" + printableName(arg) + "' (ports, info, program, verify, help)";
        return "'" + printableName(arg) + "' is not an option's value; a port goes after -p";
    }
    return {};
}

}  // namespace

ParseResult parseOptions(const std::vector<std::string>& args, const std::optional<std::string>& defaultPort) {
    Options options;
    auto parser = std::make_unique<Parser>(options);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    // Where to look when something is wrong: the command's own help.
    auto helpFor = [&]() -> std::string {
        for (CLI::App* sub : {parser->ports, parser->info, parser->program, parser->verify}) {
            if (sub->parsed()) return "qelisp-cli " + sub->get_name() + " --help";
        }
        return "qelisp-cli --help";
    };
    try {
        parser->app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        for (CLI::App* sub : {parser->ports, parser->info, parser->program, parser->verify}) {
            if (sub->parsed()) return {std::nullopt, {}, commandHelp(*sub)};
        }
        return {std::nullopt, {}, parser->app.help()};
    } catch (const CLI::ParseError& error) {
        std::vector<std::string> extras = parser->app.remaining(true);
        bool commandGiven = false;
        for (CLI::App* sub : {parser->ports, parser->info, parser->program, parser->verify, parser->help}) {
            commandGiven = commandGiven || sub->parsed();
        }
        std::string said = notUnderstood(args, extras, commandGiven);
        if (said.empty()) said = error.what();
        return {std::nullopt, said + "; see '" + helpFor() + "'", {}};
    }
    options.command = parser->command();
    if (options.command == Command::Help) {
        if (args.empty()) return {std::nullopt, "no command given; see 'qelisp-cli --help'", {}};
        // The whole program's help: this parser's would follow the command given.
        if (parser->helpTopic.empty()) return {std::nullopt, {}, usageText()};
        for (CLI::App* sub : {parser->ports, parser->info, parser->program, parser->verify}) {
            if (sub->get_name() == parser->helpTopic) return {std::nullopt, {}, commandHelp(*sub)};
        }
        return {std::nullopt,
                "no command '" + printableName(parser->helpTopic) +
                    "' (ports, info, program, verify); see 'qelisp-cli --help'",
                {}};
    }
    if (parser->version && options.command != Command::Version) {
        return {std::nullopt, "--version goes alone; see 'qelisp-cli --help'", {}};
    }
    if (!parser->autoList.empty()) options.autoCandidates = splitList(parser->autoList);
    options.simPacing = !parser->noPacing;
    options.lineTiming = kLineTimings.at(parser->lineTiming);
    // A bench PC with one instrument names its port once, in the environment.
    if (options.isJob() && options.ports.empty() && !options.simulate && defaultPort) {
        options.ports = splitList(*defaultPort);
    }
    if (options.isJob()) {
        const std::string name = options.command == Command::Program ? "program" : "verify";
        if (const std::string problem = checkJob(options, name); !problem.empty()) {
            return {std::nullopt, problem + "; see '" + helpFor() + "'", {}};
        }
    }
    return {options, {}, {}};
}

}  // namespace qelisp::cli
