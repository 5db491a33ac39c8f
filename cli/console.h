#pragma once
// The little the console front end needs to know about where its output goes.

namespace qelisp::cli {

// True when standard output is an interactive terminal (so a progress bar
// redrawn in place makes sense), false for a pipe or a file.
bool stdoutIsTerminal();

// The width of standard output's terminal in columns; 0 when unknown.
int terminalColumns();

// Asks standard output's terminal to act on cursor-movement and erase
// sequences (on Windows: virtual terminal processing). False when it cannot,
// and the console then writes plain lines.
bool enableTerminalSequences();

}  // namespace qelisp::cli
