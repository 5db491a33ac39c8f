#pragma once
// What a simulated instrument's saved flash holds once the built-in firmware
// is programmed into it, to compare its --save file with.
#include <string>

namespace qelisp::test {

// A raw 1 MB flash as a programmed instrument holds it: the image's records
// from 03000H up, 0xFF everywhere else.
std::string programmedFlash();

}  // namespace qelisp::test
