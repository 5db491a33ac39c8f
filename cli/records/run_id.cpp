#include "cli/records/run_id.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace qelisp::cli {

std::string newRunId() {
    std::random_device random;
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char word[9];
        std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(static_cast<std::uint32_t>(random())));
        id += word;
    }
    return id;
}

}  // namespace qelisp::cli
