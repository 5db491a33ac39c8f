#pragma once
#include <cstdint>

namespace qelisp::sim {

// What the summary line reports.
struct SimStats {
    std::uint64_t lines = 0;         // command lines received since start-up
    std::uint64_t violations = 0;    // breaches of the loader's expectations
    std::uint64_t bytesWritten = 0;  // bytes programmed by data records
};

}  // namespace qelisp::sim
