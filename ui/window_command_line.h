#pragma once
// The Linux window's command line: a bench keeps one desktop shortcut per
// instrument, each naming its port.
#include <span>
#include <string>
#include <string_view>

namespace qelisp {

struct WindowCommandLine {
    bool help = false;     // --help or -h anywhere, whatever else is wrong
    bool version = false;  // --version anywhere, the same
    std::string port;      // --port NAME or --port=NAME; empty: the first listed
    std::string error;     // what is wrong with the rest; empty when nothing
};

WindowCommandLine parseWindowCommandLine(std::span<const std::string> args);

const char* windowUsageText();

// What --version prints: this program's version, then the firmware's model
// and version (their 15-character fields, trailing spaces dropped).
std::string windowVersionText(std::string_view programVersion, std::string_view model, std::string_view version);

}  // namespace qelisp
