#include "cli/run/run_streams.h"

#include "link/printable_name.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace qelisp::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDrainSlice = std::chrono::milliseconds(20);
// After Ctrl-C, what a reader gets to take the last lines before the process
// ends without them; a run nobody interrupted waits for its reader instead.
constexpr auto kOutputGrace = std::chrono::milliseconds(100);

}  // namespace

void Streams::error(const std::string& text) {
    const std::string line = "qelisp-cli: " + text;
    if (!shared_) {
        errors.append(line + "\n");
    } else if (ConsoleView* live = live_.load()) {
        live->above(line);
    } else {
        out.append(line + "\n");
    }
}

void Streams::hint(const std::string& port, FailureReason reason) {
    error(printableName(port) + ": hint: " + std::string(hintText(reason, portPlace(port))));
}

bool flushed(Streams& streams, const std::atomic<bool>& interrupted) {
    std::optional<Clock::time_point> deadline;
    for (OutputQueue* queue : {&streams.out, &streams.errors}) {
        for (;;) {
            if (!deadline && interrupted.load()) deadline = Clock::now() + kOutputGrace;
            const Clock::time_point slice = Clock::now() + kDrainSlice;
            if (queue->drain(deadline ? std::min(slice, *deadline) : slice)) break;
            if (deadline && Clock::now() >= *deadline) return false;
        }
    }
    return true;
}

}  // namespace qelisp::cli
