#pragma once
// The little the console front end needs to know about where its output goes.
#include "link/port.h"

#include <string>
#include <vector>

namespace qelisp::cli {

// True when standard output is an interactive terminal (so a progress bar
// redrawn in place makes sense), false for a pipe or a file.
bool stdoutIsTerminal();

// The width of standard output's terminal in columns; 0 when unknown.
int terminalColumns();

// Asks standard output's terminal to act on cursor-movement and erase
// sequences (on Windows: virtual terminal processing, kept only when the
// console reads it back as set). False when it cannot, when it would draw
// them as text (Wine's console), or when TERM says the terminal is dumb; the
// console then writes plain lines.
bool enableTerminalSequences();

// Whether standard output shows UTF-8 as text: the locale's character set
// on POSIX systems, the console's output code page on Windows.
bool consoleTakesUtf8();

// How to take these USB adapters' latency timers down to 1 ms on this
// system, each named by its own setting, for the note after a run whose
// answers waited for them.
std::string adapterLatencyAdvice(const std::vector<PortInfo>& adapters);

}  // namespace qelisp::cli
