#include "cli/stop_signals.h"

#include <csignal>

namespace qelisp::cli {

namespace {

std::atomic<bool>* gStop = nullptr;

extern "C" void onStop(int) { gStop->store(true); }

}  // namespace

// Windows has no SIGHUP or SIGPIPE: a failed write is an error return there.
void catchStopSignals(std::atomic<bool>& stop) {
    gStop = &stop;
    std::signal(SIGINT, onStop);
    std::signal(SIGTERM, onStop);
}

}  // namespace qelisp::cli
