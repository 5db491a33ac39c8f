#pragma once
// The little the console front end needs to know about where its output goes.

namespace qelisp {

// True when standard output is an interactive terminal (so a progress bar
// redrawn in place makes sense), false for a pipe or a file.
bool stdoutIsTerminal();

}  // namespace qelisp
