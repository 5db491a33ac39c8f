#pragma once
// The command line of qelisp-mkimage:
//   qelisp-mkimage --hex FILE --model TEXT --version TEXT
//                  [--output FILE.cpp] [--binary FILE] [--marker TEXT]
// At least one of --output and --binary is needed; they must not name the
// same file, nor the --hex file.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qelisp {

struct ToolOptions {
    std::string hexPath;
    std::string model;
    std::string version;
    std::string marker;
    std::string outputPath;  // generated C++ source; empty: none
    std::string binaryPath;  // raw image block; empty: none
};

struct ParsedOptions {
    std::optional<ToolOptions> options;  // set when the command line is usable
    bool help = false;
    std::string error;  // usage error (exit status 2)
};

// `args` excludes the program name.
ParsedOptions parseToolOptions(std::span<const std::string_view> args);

// Why the texts cannot go into the image (exit status 1), naming the option
// and the length; nullopt when they fit.
std::optional<std::string> checkTexts(const ToolOptions& options);

extern const char* const kToolUsage;

}  // namespace qelisp
