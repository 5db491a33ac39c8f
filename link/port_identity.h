#pragma once
// Which port a name the user gave stands for, so that one port given twice
// under two spellings ("ttyUSB0" and "/dev/ttyUSB0", a /dev/serial/by-id link
// and its device; "COM3" and "\\.\com3") is known before either is opened.
#include <string>

namespace qelisp {

// Equal for two names of the same port. Opens nothing; a name that names
// nothing yet still gets an identity of its own.
std::string portIdentity(const std::string& name);

}  // namespace qelisp
