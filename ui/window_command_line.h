#pragma once
// The Linux window's command line: a bench keeps one desktop shortcut per
// instrument, each naming its port.
#include <span>
#include <string>

namespace qelisp {

struct WindowCommandLine {
    bool help = false;  // --help or -h anywhere, whatever else is wrong
    std::string port;   // --port NAME or --port=NAME; empty: the first listed
    std::string error;  // what is wrong with the rest; empty when nothing
};

WindowCommandLine parseWindowCommandLine(std::span<const std::string> args);

const char* windowUsageText();

}  // namespace qelisp
