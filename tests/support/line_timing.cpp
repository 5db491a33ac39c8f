#include "tests/support/line_timing.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace qelisp::test {
namespace {

void dropNoPacing(std::vector<std::string>& args) { std::erase(args, std::string("--no-pacing")); }

}  // namespace

bool wireMode() {
    static const bool wire = [] {
        const char* value = std::getenv("QELISP_LINE_TIMING");
        return value != nullptr && std::string_view(value) == "wire";
    }();
    return wire;
}

LineTiming lineTiming() { return wireMode() ? LineTiming::Wire : LineTiming::Auto; }

std::vector<std::string> simArguments(std::vector<std::string> args) {
    if (wireMode()) dropNoPacing(args);
    return args;
}

std::vector<std::string> cliArguments(std::vector<std::string> args) {
    const bool job = !args.empty() && (args.front() == "program" || args.front() == "verify");
    if (!wireMode() || !job) return args;
    dropNoPacing(args);
    args.insert(args.begin() + 1, {"--line-timing", "wire"});
    return args;
}

std::chrono::seconds runLimit() { return std::chrono::seconds(wireMode() ? 300 : 60); }

}  // namespace qelisp::test
