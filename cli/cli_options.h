#pragma once
// qelisp-cli's command line.
#include <optional>
#include <string>
#include <vector>

namespace qelisp::cli {

enum class Command { Ports, Info, Program, Verify, Help, Version };

// `--port auto`: find the one port an instrument answers on.
inline constexpr const char* kAutoPort = "auto";

struct Options {
    Command command = Command::Help;
    std::vector<std::string> ports;  // --port NAME, repeatable: one job per port, side by side
    bool simulate = false;           // --simulate: a simulated instrument on a pty inside this run
    bool simPacing = true;           // --no-pacing: the simulated instrument answers without wire delays
    std::string simFlash;            // --sim-flash FILE: its flash is loaded from and saved to FILE
    bool trace = false;              // --trace: every line sent and byte received, on stderr
    bool allLines = false;           // --all-lines: off a terminal, every status line, unthinned
    bool json = false;               // ports --json: for scripts
    // --auto-candidates A,B (a test hook, not in the usage text): the ports
    // `--port auto` tries instead of the system's list.
    std::optional<std::vector<std::string>> autoCandidates;

    bool autoPort() const { return ports.size() == 1 && ports[0] == kAutoPort; }
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // set when options is empty
};

// `args` without the program name.
ParseResult parseOptions(const std::vector<std::string>& args);

const char* usageText();

}  // namespace qelisp::cli
