#pragma once
// A program started with standard input, output or error closed would hand
// those numbers to the next files it opens: the serial port would become
// "standard output", and the progress display would go down the line to the
// instrument. Each program calls this first, before it opens anything.
namespace qelisp {

// Puts the null device on each of descriptors 0 to 2 that is closed. False
// when one of them cannot be opened; the program should not go on then.
bool ensureStandardDescriptors();

}  // namespace qelisp
