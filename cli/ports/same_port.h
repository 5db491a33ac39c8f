#pragma once
// One port given twice to one run, whatever the spelling: the second job
// would find the port held by the first and blame "another program".
#include <string>
#include <vector>

namespace qelisp::cli {

// What to tell the user about the first two names that stand for the same
// port; empty when every name is a port of its own.
std::string samePortTwice(const std::vector<std::string>& ports);

}  // namespace qelisp::cli
