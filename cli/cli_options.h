#pragma once
// qelisp-cli's command line.
#include <optional>
#include <string>
#include <vector>

namespace qelisp::cli {

enum class Command { Ports, Info, Program, Verify, Help, Version };

struct Options {
    Command command = Command::Help;
    std::string port;         // --port NAME
    bool simulate = false;    // --simulate: a simulated instrument on a pty inside this run
    bool simPacing = true;    // --no-pacing: the simulated instrument answers without wire delays
    std::string simFlash;     // --sim-flash FILE: its flash is loaded from and saved to FILE
    bool trace = false;       // --trace: every line sent and byte received, on stderr
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // set when options is empty
};

// `args` without the program name.
ParseResult parseOptions(const std::vector<std::string>& args);

const char* usageText();

}  // namespace qelisp::cli
