#pragma once
// Why the firmware cannot be turned into an image. The tool prints it as
// "<file>:<line>: <reason>", or "<file>: <reason>" when no single line is at
// fault.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace qelisp {

class InputError : public std::runtime_error {
public:
    static constexpr std::size_t kWholeFile = 0;

    InputError(std::size_t line, const std::string& reason) : std::runtime_error(reason), line_(line) {}

    // 1-based line number, or kWholeFile.
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

}  // namespace qelisp
