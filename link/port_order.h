#pragma once
// The order ports are shown in: by name, case ignored, with a run of digits
// compared by its value, so that COM2 comes before COM10 and ttyUSB2 before
// ttyUSB10.
#include <string_view>

namespace qelisp {

bool portNameLess(std::string_view a, std::string_view b);

}  // namespace qelisp
