#pragma once
// The console's --json output (or a --log file), one JSON object per line,
// each line checked to be JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace qelisp::test {

inline std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(nlohmann::json::accept(line)) << "not JSON: " << line;
        if (nlohmann::json::accept(line)) lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

}  // namespace qelisp::test
