#pragma once
// A run's id: in every event and record of one run, so a bench groups a
// run's jobs without guessing by their times.
#include <string>

namespace qelisp::cli {

// 32 lower-case hexadecimal digits, 128 random bits: two runs on two benches
// appending to one log do not share one.
std::string newRunId();

}  // namespace qelisp::cli
