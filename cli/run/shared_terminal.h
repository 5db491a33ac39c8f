#pragma once
// Whether standard output and standard error are one terminal: then what
// one writes lands among the other's lines, and cursor movement on one
// moves over the other's text.

namespace qelisp::cli {

bool errorsShareTheTerminal();

}  // namespace qelisp::cli
