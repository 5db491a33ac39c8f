#pragma once
// qelisp-sim's command line.
#include "sim/sim_server.h"

#include <string>
#include <vector>

namespace qelisp::sim {

struct CommandLine {
    SimOptions options;
    std::string savePath;  // --save: the flash is written here at exit
    bool help = false;
};

struct CommandLineParse {
    CommandLine commandLine;
    bool ok = false;
    std::string error;  // when !ok: what was wrong, for the user
};

// `args` without the program name.
CommandLineParse parseCommandLine(const std::vector<std::string>& args);

// The --help text.
const char* usageText();

}  // namespace qelisp::sim
