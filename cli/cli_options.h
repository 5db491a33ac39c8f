#pragma once
// qelisp-cli's command line.
#include "link/port.h"

#include <optional>
#include <string>
#include <vector>

namespace qelisp::cli {

enum class Command { Ports, Info, Program, Verify, Help, Version };

// `--port auto`: find the one port an instrument answers on.
inline constexpr const char* kAutoPort = "auto";

// The longest --wait: an instrument switched on within an hour.
inline constexpr int kMaxWaitSeconds = 3600;

struct Options {
    Command command = Command::Help;
    std::vector<std::string> ports;  // --port NAME, repeatable: one job per port, side by side
    bool simulate = false;           // --simulate: a simulated instrument on a pty inside this run
    bool simPacing = true;           // --no-pacing: the simulated instrument answers without wire delays
    std::string simFlash;            // --sim-flash FILE: its flash is loaded from and saved to FILE
    bool trace = false;              // --trace: every line sent and byte received, on stderr
    bool allLines = false;           // --all-lines: off a terminal, every status line, unthinned
    bool quiet = false;              // --quiet: only each job's result, its hint and the summary
    bool json = false;               // --json: JSON Lines on stdout (ports: one JSON document)
    bool thenVerify = false;         // program --verify: verify after a successful programming run
    std::string logPath;             // --log FILE: one JSON line per finished job appended to FILE
    int waitSeconds = 0;             // --wait SECONDS: for the port and the instrument; 0: not at all
    // --line-timing auto|wire|pty: whether a port's lines take their time on a wire.
    LineTiming lineTiming = LineTiming::Auto;
    // --auto-candidates A,B (a test hook, hidden from the help): the ports
    // `--port auto` tries instead of the system's list.
    std::optional<std::vector<std::string>> autoCandidates;

    bool autoPort() const { return ports.size() == 1 && ports[0] == kAutoPort; }
    bool isJob() const { return command == Command::Program || command == Command::Verify; }
};

struct ParseResult {
    std::optional<Options> options;
    // Set when options is empty: one line saying what is wrong and where to
    // look (a usage error, exit status 2).
    std::string error;
    // --help of the program or of one command: what to print (exit status 0).
    std::string help;
};

// The environment variable that names the port when no --port (nor
// --simulate) is given, as flashing tools read a default port.
inline constexpr const char* kPortVariable = "QELISP_PORT";

// `args` without the program name; `defaultPort`: the environment's
// QELISP_PORT, where set (several ports separated by commas).
ParseResult parseOptions(const std::vector<std::string>& args,
                         const std::optional<std::string>& defaultPort = std::nullopt);

// The help of the whole program (`qelisp-cli --help`).
std::string usageText();

}  // namespace qelisp::cli
