#include "cli/stop_signals.h"

#include <csignal>

namespace qelisp::cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

std::atomic<bool>* gStop = nullptr;

extern "C" void onStop(int) { gStop->store(true); }

}  // namespace

void catchStopSignals(std::atomic<bool>& stop) {
    gStop = &stop;
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    // A writer blocked on a slow reader carries on after the signal instead
    // of failing with EINTR, which would read as a broken stream.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    // A record past the file size limit fails its write (EFBIG) and is said
    // missing; the signal would end the run in the middle of its jobs.
    sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace qelisp::cli
