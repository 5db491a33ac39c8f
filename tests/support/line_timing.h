#pragma once
// The end-to-end suites run two ways. As a pseudo-terminal (the default):
// a line reaches the simulator the moment it is written, and only the
// checks before a line and after the last answer see a stray byte. As a
// wire (QELISP_LINE_TIMING=wire, the CTest entries labelled `wire`): every
// simulator keeps wire time at 115200 baud and every port is opened as a
// wire, so the link's watch over each line's time on the wire runs in every
// case, as it does on a real port.
#include "link/port.h"

#include <chrono>
#include <string>
#include <vector>

namespace qelisp::test {

bool wireMode();

// How the tests open a simulator's port.
LineTiming lineTiming();

// qelisp-sim's arguments as this run takes them: on a wire it keeps wire
// time, whatever the case asked for.
std::vector<std::string> simArguments(std::vector<std::string> args);

// qelisp-cli's arguments likewise: a job takes its ports as a wire, and a
// simulated instrument keeps wire time.
std::vector<std::string> cliArguments(std::vector<std::string> args);

// What a whole qelisp-cli run may take: a paced programming run is 90 s.
std::chrono::seconds runLimit();

}  // namespace qelisp::test
