#pragma once
// The whole of qelisp-mkimage as a function, so the tests and the fuzzer run
// the tool's own logic without starting a process.
#include <span>
#include <string>
#include <string_view>

namespace qelisp {

struct MkimageRun {
    int status = 0;      // 0 written, 1 refused or not written, 2 usage error
    std::string output;  // what the tool prints on standard output (--help)
    std::string errors;  // what it prints on standard error
};

// `args` excludes the program name.
MkimageRun runMkimage(std::span<const std::string_view> args);

}  // namespace qelisp
